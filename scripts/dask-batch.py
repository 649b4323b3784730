#!/usr/bin/env python3
"""Searches a batch of images on a dask.distributed cluster and writes the program's report.

  dask-batch.py [--scheduler ADDRESS] [--report FILE] [--jobs-per-worker N] [options] IMAGES...

Without --scheduler, a local cluster of one worker process per core is started. The CSV is the
one the program's --report writes for the same images and options: same header, same rows in
the order the images are given, images named as given (workers read them by that name, so a
remote cluster needs them at the same paths). Without --report it goes to standard output. A
progress bar goes to standard error, and so does every image that fails, with its reason; the
other images are still searched.

options are the program's search options by their long names: --evaluations 3000, --validate,
--robust, --light-is-active, ... The package korvath must be importable (pip install it, or put
build/python on PYTHONPATH) here and on every worker.
"""

import argparse
import logging
import os
import sys

import korvath

HEADER = "image,index,center_x,center_y,major_axis,minor_axis,angle,completeness,distance\n"
# The library's own keywords, which the program does not take.
NOT_OPTIONS = {"seed", "verbose", "progress", "full_output"}


def arguments():
    parser = argparse.ArgumentParser(
        description="Searches images on a dask.distributed cluster; writes the --report CSV.")
    parser.add_argument("--scheduler", metavar="ADDRESS",
                        help="the scheduler of a running cluster; default: a local cluster")
    parser.add_argument("--report", metavar="FILE", default="-",
                        help="the CSV to write; default: standard output")
    parser.add_argument("--jobs-per-worker", metavar="N", type=int, default=1,
                        help="searches a local cluster's worker runs at once (default 1)")
    kinds = {"bool": None, "int": int, "float": float}
    for name, default, kind, meaning in korvath._keywords():
        if name in NOT_OPTIONS:
            continue
        flag = "--" + name.replace("_", "-")
        if kinds[kind] is None:
            parser.add_argument(flag, dest=name, action="store_true", default=None, help=meaning)
        else:
            parser.add_argument(flag, dest=name, type=kinds[kind], default=None,
                                help=f"{meaning} (default {default})")
    parser.add_argument("images", nargs="+", metavar="IMAGES")
    given = parser.parse_args()
    options = {name: value for name, value in vars(given).items()
               if value is not None and name not in
               ("scheduler", "report", "jobs_per_worker", "images")}
    if given.jobs_per_worker < 1:
        parser.error("--jobs-per-worker must be at least 1")
    try:
        # A value out of range is refused before any cluster starts, as the program refuses it.
        korvath.settings(**options)
    except (TypeError, ValueError) as error:
        parser.error(str(error))
    return given, options


def search(name, options):
    """The rows of one image, as the program's report writes them."""
    return [tuple(record.tolist()) for record in korvath.detect(name, **options)]


def exact(value):
    # Enough digits for a double to read back exactly, as the report prints them.
    return "%.17g" % value


def quoted(name):
    if not any(c in name for c in ',"\r\n'):
        return name
    return '"' + name.replace('"', '""') + '"'


def rows_of(name, found):
    return "".join(f"{quoted(name)},{index},"
                   + ",".join(exact(value) for value in record[:7]) + "\n"
                   for index, record in enumerate(found))


def show_progress(done, total):
    width = 40
    filled = width * done // total
    sys.stderr.write(f"\r[{'#' * filled}{' ' * (width - filled)}] {done}/{total} images")
    if done == total:
        sys.stderr.write("\n")
    sys.stderr.flush()


def run(client, images, options, report):
    futures = [client.submit(search, name, options, key=f"korvath-{i}", pure=False)
               for i, name in enumerate(images)]
    index = {future.key: i for i, future in enumerate(futures)}
    results = [None] * len(images)
    failures = 0
    show_progress(0, len(images))
    from dask.distributed import as_completed
    for done, future in enumerate(as_completed(futures), start=1):
        i = index[future.key]
        try:
            results[i] = future.result()
        except Exception as error:  # one image's failure must not stop the batch
            failures += 1
            sys.stderr.write(f"\n{images[i]}: {type(error).__name__}: {error}\n")
        show_progress(done, len(images))
    report.write(HEADER)
    for name, found in zip(images, results):
        if found:
            report.write(rows_of(name, found))
    report.flush()
    sys.stderr.write(f"{len(images) - failures} of {len(images)} images searched, "
                     f"{failures} failed\n")


def main():
    given, options = arguments()
    from dask.distributed import Client, LocalCluster
    if given.scheduler:
        if given.jobs_per_worker != 1:
            sys.stderr.write("--jobs-per-worker sets up a local cluster's workers; those of "
                             f"{given.scheduler} run as many searches as they have threads\n")
        client = Client(given.scheduler)
        cluster = None
    else:
        cluster = LocalCluster(n_workers=os.cpu_count() or 1,
                               threads_per_worker=given.jobs_per_worker, processes=True,
                               dashboard_address=None, silence_logs=logging.ERROR)
        client = Client(cluster)
    try:
        if given.report == "-":
            run(client, given.images, options, sys.stdout)
        else:
            with open(given.report, "w", newline="", encoding="utf-8") as report:
                run(client, given.images, options, report)
    finally:
        client.close()
        if cluster is not None:
            cluster.close()


if __name__ == "__main__":
    main()
