# Shared by the bench scripts; sourced, not run.

# Masks what changes from run to run in the program's output: times and rates.
mask() { sed -E 's/(solutions: |time: |image: ).*secs\./\1#/; s/^(Evaluations per second:).*/\1#/'; }
