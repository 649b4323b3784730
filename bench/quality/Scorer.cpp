// Scores the detector's CSV report against truth files.
//
//   korvath-score TRUTH_DIR REPORT.csv [--per-kind] [--per-scene] [--kind NAME]
//                 [--min-overlap R] [--title TEXT]
//
// Every TRUTH_DIR/NAME.json ({"width", "height", "ellipses": [{"cx", "cy", "a", "b", "theta"}]},
// semi-axes, theta from +x toward +y) is one scene; report rows belong to the scene whose name is
// the stem of their image column. Scenes without rows count with no detections; rows of images
// without truth are ignored with a warning.
//
// Matching: within a scene, every (truth, detection) pair gets the Jaccard index of the two filled
// ellipses, counted over pixel centres of the union bounding box. Pairs with an overlap of at
// least R (0.8) are taken greedily by decreasing overlap, each truth and each detection at most
// once. Precision = matched / detections, recall = matched / truths, F their harmonic mean, all
// pooled over the scenes of a kind; the centre error is the mean distance between the centres of
// matched pairs. The kind is the scene name up to its last "_NNN" (all digits), or NAME for every
// scene with --kind.
//
// After that table, a second one gives the recall by the truth's semi-minor axis b, in bins of
// 4-8, 8-15, 15-30, 30-60 and >= 60 pixels (lower bound included), as "found/total recall", for
// the same rows; truths with b < 4 get a "<4" column when there are any.

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace
{

namespace fs = std::filesystem;

struct EllipseParams {
    double cx, cy, a, b, theta;
};

// ---- a small JSON reader: enough for the truth files ----

struct JsonValue {
    enum Type { Null, Bool, Number, String, Array, Object } type = Null;
    double number = 0;
    bool boolean = false;
    std::string text;
    std::vector<JsonValue> items;
    std::vector<std::pair<std::string, JsonValue>> members;

    const JsonValue* find(const std::string& key) const
    {
        for (const auto& m : members)
            if (m.first == key)
                return &m.second;
        return nullptr;
    }
};

class JsonParser
{
  public:
    explicit JsonParser(const std::string& text) : text_(text) {}

    JsonValue parseDocument()
    {
        JsonValue v = parseValue();
        skipSpace();
        if (pos_ != text_.size())
            fail("trailing characters");
        return v;
    }

  private:
    const std::string& text_;
    std::size_t pos_ = 0;

    [[noreturn]] void fail(const std::string& what) const
    {
        throw std::runtime_error("JSON: " + what + " at offset " + std::to_string(pos_));
    }

    void skipSpace()
    {
        while (pos_ < text_.size() && std::isspace(static_cast<unsigned char>(text_[pos_])))
            ++pos_;
    }

    char peek()
    {
        skipSpace();
        if (pos_ >= text_.size())
            fail("unexpected end");
        return text_[pos_];
    }

    void expect(char c)
    {
        if (peek() != c)
            fail(std::string("expected '") + c + "'");
        ++pos_;
    }

    bool literal(const char* word)
    {
        const std::size_t n = std::char_traits<char>::length(word);
        if (text_.compare(pos_, n, word) != 0)
            return false;
        pos_ += n;
        return true;
    }

    std::string parseString()
    {
        expect('"');
        std::string out;
        while (true) {
            if (pos_ >= text_.size())
                fail("unterminated string");
            const char c = text_[pos_++];
            if (c == '"')
                return out;
            if (c != '\\') {
                out += c;
                continue;
            }
            if (pos_ >= text_.size())
                fail("unterminated escape");
            const char e = text_[pos_++];
            switch (e) {
            case 'n':
                out += '\n';
                break;
            case 't':
                out += '\t';
                break;
            case 'r':
                out += '\r';
                break;
            case 'b':
                out += '\b';
                break;
            case 'f':
                out += '\f';
                break;
            case 'u':
                // Names and numbers only matter here: keep a placeholder for the code point.
                if (pos_ + 4 > text_.size())
                    fail("bad escape");
                pos_ += 4;
                out += '?';
                break;
            default:
                out += e;
            }
        }
    }

    JsonValue parseValue()
    {
        JsonValue v;
        const char c = peek();
        if (c == '{') {
            v.type = JsonValue::Object;
            ++pos_;
            if (peek() == '}') {
                ++pos_;
                return v;
            }
            while (true) {
                std::string key = parseString();
                expect(':');
                v.members.emplace_back(std::move(key), parseValue());
                if (peek() == ',') {
                    ++pos_;
                    continue;
                }
                expect('}');
                return v;
            }
        }
        if (c == '[') {
            v.type = JsonValue::Array;
            ++pos_;
            if (peek() == ']') {
                ++pos_;
                return v;
            }
            while (true) {
                v.items.push_back(parseValue());
                if (peek() == ',') {
                    ++pos_;
                    continue;
                }
                expect(']');
                return v;
            }
        }
        if (c == '"') {
            v.type = JsonValue::String;
            v.text = parseString();
            return v;
        }
        if (literal("true")) {
            v.type = JsonValue::Bool;
            v.boolean = true;
            return v;
        }
        if (literal("false")) {
            v.type = JsonValue::Bool;
            return v;
        }
        if (literal("null"))
            return v;
        const char* start = text_.c_str() + pos_;
        char* end = nullptr;
        v.number = std::strtod(start, &end);
        if (end == start)
            fail("bad value");
        v.type = JsonValue::Number;
        pos_ += static_cast<std::size_t>(end - start);
        return v;
    }
};

double numberMember(const JsonValue& object, const std::string& key)
{
    const JsonValue* v = object.find(key);
    if (!v || v->type != JsonValue::Number)
        throw std::runtime_error("missing number \"" + key + "\"");
    return v->number;
}

std::vector<EllipseParams> readTruth(const fs::path& path)
{
    std::ifstream in(path);
    if (!in)
        throw std::runtime_error("cannot read " + path.string());
    std::stringstream buffer;
    buffer << in.rdbuf();
    const std::string text = buffer.str();
    const JsonValue root = JsonParser(text).parseDocument();
    const JsonValue* list = root.find("ellipses");
    if (!list || list->type != JsonValue::Array)
        throw std::runtime_error("no \"ellipses\" array");
    std::vector<EllipseParams> out;
    for (const JsonValue& item : list->items)
        out.push_back({numberMember(item, "cx"), numberMember(item, "cy"), numberMember(item, "a"),
                       numberMember(item, "b"), numberMember(item, "theta")});
    return out;
}

// ---- the report ----

std::vector<std::string> splitCsvLine(const std::string& line)
{
    std::vector<std::string> fields;
    std::string field;
    bool quoted = false;
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (quoted) {
            if (c == '"' && i + 1 < line.size() && line[i + 1] == '"') {
                field += '"';
                ++i;
            } else if (c == '"') {
                quoted = false;
            } else {
                field += c;
            }
        } else if (c == '"') {
            quoted = true;
        } else if (c == ',') {
            fields.push_back(field);
            field.clear();
        } else {
            field += c;
        }
    }
    fields.push_back(field);
    return fields;
}

/// Reads logical CSV records (a quoted field may hold a line end).
bool readCsvRecord(std::istream& in, std::string& record)
{
    record.clear();
    std::string line;
    bool any = false;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (any)
            record += '\n';
        record += line;
        any = true;
        if (std::count(record.begin(), record.end(), '"') % 2 == 0)
            return true;
    }
    return any;
}

std::string sceneName(const std::string& image)
{
    return fs::path(image).stem().string();
}

/// Detections per scene, keyed by the stem of the image name.
std::map<std::string, std::vector<EllipseParams>> readReport(const std::string& path)
{
    std::ifstream in(path);
    if (!in)
        throw std::runtime_error("cannot read " + path);
    std::string record;
    if (!readCsvRecord(in, record))
        throw std::runtime_error(path + " is empty");
    const std::vector<std::string> header = splitCsvLine(record);
    auto column = [&](const std::string& name) {
        const auto it = std::find(header.begin(), header.end(), name);
        if (it == header.end())
            throw std::runtime_error(path + ": no column " + name);
        return static_cast<std::size_t>(it - header.begin());
    };
    const std::size_t image = column("image"), cx = column("center_x"), cy = column("center_y"),
                      major = column("major_axis"), minor = column("minor_axis"),
                      angle = column("angle");
    std::map<std::string, std::vector<EllipseParams>> out;
    long line = 1;
    while (readCsvRecord(in, record)) {
        ++line;
        if (record.empty())
            continue;
        const std::vector<std::string> f = splitCsvLine(record);
        if (f.size() < header.size())
            throw std::runtime_error(path + ":" + std::to_string(line) + ": too few fields");
        // Full axis lengths in the report, semi-axes here.
        out[sceneName(f[image])].push_back({std::stod(f[cx]), std::stod(f[cy]),
                                            std::stod(f[major]) / 2, std::stod(f[minor]) / 2,
                                            std::stod(f[angle])});
    }
    return out;
}

// ---- overlap ----

/// The filled ellipse as P dx^2 + 2 Q dx dy + R dy^2 <= 1 around the centre.
struct Quadric {
    double cx, cy, p, q, r;
    double xHalf, yHalf; // half extents of the bounding box
};

Quadric quadric(const EllipseParams& e)
{
    const double c = std::cos(e.theta), s = std::sin(e.theta);
    const double ia = 1.0 / (e.a * e.a), ib = 1.0 / (e.b * e.b);
    Quadric k{};
    k.cx = e.cx;
    k.cy = e.cy;
    k.p = c * c * ia + s * s * ib;
    k.q = c * s * (ia - ib);
    k.r = s * s * ia + c * c * ib;
    k.xHalf = std::sqrt(e.a * e.a * c * c + e.b * e.b * s * s);
    k.yHalf = std::sqrt(e.a * e.a * s * s + e.b * e.b * c * c);
    return k;
}

/// The pixel columns [first, last] of row y whose centres lie inside; empty when first > last.
void rowSpan(const Quadric& k, long y, long& first, long& last)
{
    const double dy = static_cast<double>(y) - k.cy;
    const double discriminant = k.q * k.q * dy * dy - k.p * (k.r * dy * dy - 1.0);
    if (discriminant < 0) {
        first = 1;
        last = 0;
        return;
    }
    const double root = std::sqrt(discriminant);
    first = static_cast<long>(std::ceil(k.cx + (-k.q * dy - root) / k.p));
    last = static_cast<long>(std::floor(k.cx + (-k.q * dy + root) / k.p));
}

bool usable(const EllipseParams& e)
{
    return std::isfinite(e.cx) && std::isfinite(e.cy) && std::isfinite(e.theta) && e.a > 0 &&
           e.b > 0 && std::isfinite(e.a) && std::isfinite(e.b);
}

/// Jaccard index of the two filled ellipses over the pixel centres of the union bounding box,
/// counted row by row.
double overlap(const EllipseParams& e1, const EllipseParams& e2)
{
    if (!usable(e1) || !usable(e2))
        return 0.0;
    const Quadric k1 = quadric(e1), k2 = quadric(e2);
    // Disjoint bounding boxes share no pixel.
    if (k1.cx + k1.xHalf < k2.cx - k2.xHalf || k2.cx + k2.xHalf < k1.cx - k1.xHalf ||
        k1.cy + k1.yHalf < k2.cy - k2.yHalf || k2.cy + k2.yHalf < k1.cy - k1.yHalf)
        return 0.0;
    const long yFirst = static_cast<long>(std::ceil(std::min(k1.cy - k1.yHalf, k2.cy - k2.yHalf)));
    const long yLast = static_cast<long>(std::floor(std::max(k1.cy + k1.yHalf, k2.cy + k2.yHalf)));
    double both = 0, either = 0;
    for (long y = yFirst; y <= yLast; ++y) {
        long f1, l1, f2, l2;
        rowSpan(k1, y, f1, l1);
        rowSpan(k2, y, f2, l2);
        const long n1 = std::max(0L, l1 - f1 + 1), n2 = std::max(0L, l2 - f2 + 1);
        const long common = std::max(0L, std::min(l1, l2) - std::max(f1, f2) + 1);
        const long inter = (n1 > 0 && n2 > 0) ? common : 0;
        both += static_cast<double>(inter);
        either += static_cast<double>(n1 + n2 - inter);
    }
    return either > 0 ? both / either : 0.0;
}

// ---- scoring ----

/// Bins of the truth's semi-minor axis: lower bounds in pixels, each bin up to the next bound.
constexpr std::array<double, 6> SIZE_BOUNDS = {0, 4, 8, 15, 30, 60};
constexpr std::array<const char*, 6> SIZE_LABELS = {"<4", "4-8", "8-15", "15-30", "30-60", ">=60"};
constexpr std::size_t SIZE_BINS = SIZE_BOUNDS.size();

std::size_t sizeBin(const EllipseParams& truth)
{
    const double b = std::min(truth.a, truth.b);
    std::size_t bin = 0;
    while (bin + 1 < SIZE_BINS && b >= SIZE_BOUNDS[bin + 1])
        ++bin;
    return bin;
}

struct Tally {
    long scenes = 0, truths = 0, detections = 0, matched = 0;
    double centreErrorSum = 0;
    std::array<long, SIZE_BINS> binTruths{}, binMatched{};

    void add(const Tally& o)
    {
        scenes += o.scenes;
        truths += o.truths;
        detections += o.detections;
        matched += o.matched;
        centreErrorSum += o.centreErrorSum;
        for (std::size_t i = 0; i < SIZE_BINS; ++i) {
            binTruths[i] += o.binTruths[i];
            binMatched[i] += o.binMatched[i];
        }
    }
};

Tally scoreScene(const std::vector<EllipseParams>& truth,
                 const std::vector<EllipseParams>& detected, double minOverlap)
{
    struct Pair {
        double overlap;
        std::size_t t, d;
    };
    std::vector<Pair> pairs;
    for (std::size_t t = 0; t < truth.size(); ++t)
        for (std::size_t d = 0; d < detected.size(); ++d) {
            const double o = overlap(truth[t], detected[d]);
            if (o >= minOverlap)
                pairs.push_back({o, t, d});
        }
    std::sort(pairs.begin(), pairs.end(), [](const Pair& x, const Pair& y) {
        if (x.overlap != y.overlap)
            return x.overlap > y.overlap;
        return x.t != y.t ? x.t < y.t : x.d < y.d;
    });
    std::vector<bool> truthUsed(truth.size()), detectionUsed(detected.size());
    Tally tally;
    tally.scenes = 1;
    tally.truths = static_cast<long>(truth.size());
    tally.detections = static_cast<long>(detected.size());
    for (const Pair& p : pairs) {
        if (truthUsed[p.t] || detectionUsed[p.d])
            continue;
        truthUsed[p.t] = detectionUsed[p.d] = true;
        ++tally.matched;
        tally.centreErrorSum +=
            std::hypot(truth[p.t].cx - detected[p.d].cx, truth[p.t].cy - detected[p.d].cy);
    }
    for (std::size_t t = 0; t < truth.size(); ++t) {
        const std::size_t bin = sizeBin(truth[t]);
        ++tally.binTruths[bin];
        if (truthUsed[t])
            ++tally.binMatched[bin];
    }
    return tally;
}

std::string kindOf(const std::string& scene)
{
    const std::size_t underscore = scene.rfind('_');
    if (underscore == std::string::npos || underscore == 0 || underscore + 1 == scene.size())
        return scene;
    for (std::size_t i = underscore + 1; i < scene.size(); ++i)
        if (!std::isdigit(static_cast<unsigned char>(scene[i])))
            return scene;
    return scene.substr(0, underscore);
}

constexpr const char* HEADER = "%-22s %6s %6s %10s %7s %6s %6s %6s %10s\n";

std::string ratio(double numerator, double denominator)
{
    if (denominator <= 0)
        return "-";
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.3f", numerator / denominator);
    return buffer;
}

void printRow(const std::string& label, const Tally& t)
{
    const double p = t.detections > 0 ? static_cast<double>(t.matched) / t.detections : 0.0;
    const double r = t.truths > 0 ? static_cast<double>(t.matched) / t.truths : 0.0;
    std::string f = "-";
    if (t.detections > 0 && t.truths > 0)
        f = ratio(2 * p * r, p + r > 0 ? p + r : 1.0);
    std::printf("%-22s %6ld %6ld %10ld %7ld %6s %6s %6s %10s\n", label.c_str(), t.scenes, t.truths,
                t.detections, t.matched, ratio(t.matched, t.detections).c_str(),
                ratio(t.matched, t.truths).c_str(), f.c_str(),
                ratio(t.centreErrorSum, t.matched).c_str());
}

/// The first size bin shown: "<4" only when some truth falls in it.
std::size_t firstSizeBin(const Tally& total)
{
    return total.binTruths[0] > 0 ? 0 : 1;
}

void printSizeHeader(std::size_t first)
{
    std::printf("%-22s", "recall by b (px)");
    for (std::size_t i = first; i < SIZE_BINS; ++i)
        std::printf(" %15s", SIZE_LABELS[i]);
    std::printf("\n");
}

void printSizeRow(const std::string& label, const Tally& t, std::size_t first)
{
    std::printf("%-22s", label.c_str());
    for (std::size_t i = first; i < SIZE_BINS; ++i) {
        char cell[48];
        std::snprintf(cell, sizeof cell, "%ld/%ld %5s", t.binMatched[i], t.binTruths[i],
                      ratio(t.binMatched[i], t.binTruths[i]).c_str());
        std::printf(" %15s", cell);
    }
    std::printf("\n");
}

int usage()
{
    std::cerr << "usage: korvath-score TRUTH_DIR REPORT.csv [--per-kind] [--per-scene] "
                 "[--kind NAME] [--min-overlap R] [--title TEXT]\n";
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    std::vector<std::string> positional;
    bool perKind = false, perScene = false;
    std::string forcedKind, title;
    double minOverlap = 0.8;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--per-kind")
            perKind = true;
        else if (arg == "--per-scene")
            perScene = true;
        else if (arg == "--kind" && i + 1 < argc)
            forcedKind = argv[++i];
        else if (arg == "--title" && i + 1 < argc)
            title = argv[++i];
        else if (arg == "--min-overlap" && i + 1 < argc)
            minOverlap = std::atof(argv[++i]);
        else if (arg.rfind("--", 0) == 0)
            return usage();
        else
            positional.push_back(arg);
    }
    if (positional.size() != 2 || !(minOverlap > 0 && minOverlap <= 1))
        return usage();

    try {
        std::vector<fs::path> truthFiles;
        for (const auto& entry : fs::directory_iterator(positional[0]))
            if (entry.is_regular_file() && entry.path().extension() == ".json")
                truthFiles.push_back(entry.path());
        std::sort(truthFiles.begin(), truthFiles.end());
        if (truthFiles.empty())
            throw std::runtime_error("no .json truth files in " + positional[0]);

        auto detections = readReport(positional[1]);
        std::map<std::string, Tally> byKind;
        Tally total;
        if (perScene)
            std::printf(HEADER, "scene", "scenes", "truths", "detections", "matched", "P", "R", "F",
                        "centre_err");
        for (const fs::path& file : truthFiles) {
            const std::string scene = file.stem().string();
            std::vector<EllipseParams> truth;
            try {
                truth = readTruth(file);
            } catch (const std::exception& e) {
                throw std::runtime_error(file.string() + ": " + e.what());
            }
            std::vector<EllipseParams> found;
            const auto it = detections.find(scene);
            if (it != detections.end()) {
                found = it->second;
                detections.erase(it);
            }
            const Tally t = scoreScene(truth, found, minOverlap);
            if (perScene)
                printRow(scene, t);
            byKind[forcedKind.empty() ? kindOf(scene) : forcedKind].add(t);
            total.add(t);
        }
        for (const auto& left : detections)
            std::cerr << "warning: " << left.second.size() << " detection(s) for " << left.first
                      << " which has no truth file\n";

        if (!title.empty())
            std::printf("%s\n", title.c_str());
        std::printf(HEADER, "kind", "scenes", "truths", "detections", "matched", "P", "R", "F",
                    "centre_err");
        const bool kindRows = perKind && byKind.size() > 1;
        const std::string totalLabel = byKind.size() == 1 ? byKind.begin()->first : "all";
        if (kindRows)
            for (const auto& k : byKind)
                printRow(k.first, k.second);
        printRow(totalLabel, total);

        const std::size_t first = firstSizeBin(total);
        printSizeHeader(first);
        if (kindRows)
            for (const auto& k : byKind)
                printSizeRow(k.first, k.second, first);
        printSizeRow(totalLabel, total, first);
    } catch (const std::exception& e) {
        std::cerr << "korvath-score: " << e.what() << '\n';
        return 1;
    }
    return 0;
}
