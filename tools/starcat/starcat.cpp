// velmora-starcat: builds the program's star catalogue "stars.dat" from the
// Yale Bright Star Catalogue as shipped by Debian's xplanet package (positions,
// magnitudes, HD numbers) and the spectral types of KStars' binary star files
// (namedstars.dat, unnamedstars.dat from kstars-data).
//
// Usage: velmora-starcat -o stars.dat BSC namedstars.dat [unnamedstars.dat ...]
//
// [SECTION] Input files
// [SECTION] Bright Star Catalogue text
// [SECTION] KStars binary star files
// [SECTION] Joining
// [SECTION] Output
// [SECTION] Entry point

#include <algorithm>
#include <array>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <map>
#include <memory>
#include <numbers>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace velmora::starcat {
namespace {

// ----------------------------------------------------------------------------
// [SECTION] Input files
// ----------------------------------------------------------------------------

// The real files are 0.5 MB (BSC) and 1.3 MB (unnamedstars.dat); anything far
// larger is not what we expect and is refused before it is read.
constexpr long kMaxInputBytes = 64L * 1024 * 1024;

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

std::vector<uint8_t> ReadWholeFile(const std::string& path)
{
    FilePtr f(std::fopen(path.c_str(), "rb"));
    if (!f) {
        throw std::runtime_error(path + ": " + std::strerror(errno));
    }
    std::vector<uint8_t> bytes;
    std::array<uint8_t, 65536> chunk {};
    for (;;) {
        const size_t n = std::fread(chunk.data(), 1, chunk.size(), f.get());
        if (n == 0) {
            break;
        }
        if (bytes.size() + n > static_cast<size_t>(kMaxInputBytes)) {
            throw std::runtime_error(path + ": larger than " + std::to_string(kMaxInputBytes) + " bytes");
        }
        bytes.insert(bytes.end(), chunk.begin(), chunk.begin() + static_cast<std::ptrdiff_t>(n));
    }
    if (std::ferror(f.get())) {
        throw std::runtime_error(path + ": read error");
    }
    return bytes;
}

// ----------------------------------------------------------------------------
// [SECTION] Bright Star Catalogue text
// ----------------------------------------------------------------------------

// One line of xplanet's BSC: Dec (deg), RA (h), Mag, "Name", HR, HD, SAO.
struct BrightStar {
    double decDeg = 0;
    double raHours = 0;
    double magnitude = 0;
    std::string name;
    long hr = 0;
    long hd = 0; // 0: the catalogue gives none
};

// strtod/strtol that must consume something and report where they stopped.
std::optional<double> TakeDouble(const char*& p)
{
    char* end = nullptr;
    const double v = std::strtod(p, &end);
    if (end == p || !std::isfinite(v)) {
        return std::nullopt;
    }
    p = end;
    return v;
}

std::optional<long> TakeLong(const char*& p)
{
    char* end = nullptr;
    errno = 0;
    const long v = std::strtol(p, &end, 10);
    if (end == p || errno == ERANGE) {
        return std::nullopt;
    }
    p = end;
    return v;
}

std::optional<BrightStar> ParseBrightStarLine(const std::string& line)
{
    BrightStar s;
    const char* p = line.c_str();
    const auto dec = TakeDouble(p);
    const auto ra = dec ? TakeDouble(p) : std::nullopt;
    const auto mag = ra ? TakeDouble(p) : std::nullopt;
    if (!mag) {
        return std::nullopt;
    }
    s.decDeg = *dec;
    s.raHours = *ra;
    s.magnitude = *mag;
    // The name is quoted and may hold spaces or be blank.
    const char* open = std::strchr(p, '"');
    const char* close = open ? std::strchr(open + 1, '"') : nullptr;
    if (!close) {
        return std::nullopt;
    }
    s.name.assign(open + 1, close);
    p = close + 1;
    const auto hr = TakeLong(p);
    const auto hd = hr ? TakeLong(p) : std::nullopt;
    if (!hd) {
        return std::nullopt;
    }
    s.hr = *hr;
    s.hd = *hd;
    const bool sane = s.decDeg >= -90 && s.decDeg <= 90 && s.raHours >= 0 && s.raHours < 24
        && s.magnitude > -2 && s.magnitude < 10 && s.hd >= 0;
    if (!sane) {
        return std::nullopt;
    }
    return s;
}

// A damaged line quoted in a message: short, and nothing that steers the terminal.
std::string Printable(const std::string& line)
{
    std::string out = line.substr(0, 80);
    for (char& c : out) {
        if (c < 0x20 || c > 0x7e) {
            c = '?';
        }
    }
    return out;
}

std::vector<BrightStar> ParseBrightStarCatalogue(const std::vector<uint8_t>& text, const std::string& path)
{
    std::vector<BrightStar> stars;
    size_t pos = 0;
    int lineNo = 0;
    while (pos < text.size()) {
        const auto lf = std::find(text.begin() + static_cast<std::ptrdiff_t>(pos), text.end(), '\n');
        std::string line(text.begin() + static_cast<std::ptrdiff_t>(pos), lf);
        pos = static_cast<size_t>(lf - text.begin()) + 1;
        ++lineNo;
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (line.find_first_not_of(" \t") == std::string::npos
            || line[line.find_first_not_of(" \t")] == '#') {
            continue;
        }
        if (line.find('\0') != std::string::npos) {
            throw std::runtime_error(path + ":" + std::to_string(lineNo) + ": binary data in a text file");
        }
        auto star = ParseBrightStarLine(line);
        if (!star) {
            throw std::runtime_error(
                path + ":" + std::to_string(lineNo) + ": not a catalogue line: " + Printable(line));
        }
        stars.push_back(std::move(*star));
    }
    return stars;
}

// ----------------------------------------------------------------------------
// [SECTION] KStars binary star files
// ----------------------------------------------------------------------------
//
// Layout, as the files describe themselves:
//   124 bytes   free text, NUL padded
//   2 bytes     "SK" when the numbers are little-endian
//   1 byte      format version (1)
//   uint16      number of field descriptors
//   16 bytes    per descriptor: name[10] (NUL padded), size, type, int32 scale
//   uint32      number of index entries, then 12 bytes per entry:
//               uint32 trixel id, uint32 file offset, uint32 record count
//   records     fixed size = the descriptors' sizes added up, in field order
// Types seen: 0 byte, 3 int16, 5 int32, 7 character array. A value is the
// stored integer divided by the descriptor's scale (RA in hours, Dec in
// degrees, mag in magnitudes); HD is a plain number.

struct KStarsStar {
    double raHours = 0;
    double decDeg = 0;
    double magnitude = 0;
    long hd = 0;
    std::array<char, 2> spectral {};
};

constexpr size_t kTextBytes = 124;
constexpr size_t kDescriptorBytes = 16;
constexpr size_t kIndexEntryBytes = 12;
constexpr uint16_t kMaxFields = 64;
constexpr uint32_t kMaxIndexEntries = 1u << 20;
constexpr size_t kMaxRecordBytes = 1024;

enum FieldType : uint8_t { kTypeByte = 0, kTypeInt16 = 3, kTypeInt32 = 5, kTypeChars = 7 };

class ByteReader {
public:
    ByteReader(const std::vector<uint8_t>& bytes, const std::string& path)
        : bytes_(bytes)
        , path_(path)
    {
    }

    // Every read goes through here, so no offset taken from the file can
    // reach past its end.
    void Need(size_t offset, size_t count) const
    {
        if (offset > bytes_.size() || count > bytes_.size() - offset) {
            throw std::runtime_error(
                path_ + ": truncated or damaged (offset " + std::to_string(offset) + ")");
        }
    }
    uint8_t U8(size_t at) const
    {
        Need(at, 1);
        return bytes_[at];
    }
    uint16_t U16(size_t at) const
    {
        Need(at, 2);
        return static_cast<uint16_t>(bytes_[at] | bytes_[at + 1] << 8);
    }
    uint32_t U32(size_t at) const
    {
        Need(at, 4);
        return static_cast<uint32_t>(bytes_[at]) | static_cast<uint32_t>(bytes_[at + 1]) << 8
            | static_cast<uint32_t>(bytes_[at + 2]) << 16 | static_cast<uint32_t>(bytes_[at + 3]) << 24;
    }
    int32_t I32(size_t at) const { return static_cast<int32_t>(U32(at)); }
    int16_t I16(size_t at) const { return static_cast<int16_t>(U16(at)); }
    const std::string& Path() const { return path_; }

private:
    const std::vector<uint8_t>& bytes_;
    const std::string& path_;
};

struct FieldDescriptor {
    std::string name;
    uint8_t size = 0;
    uint8_t type = 0;
    int32_t scale = 0;
    size_t offset = 0; // within a record
};

const FieldDescriptor& RequireField(const std::vector<FieldDescriptor>& fields, std::string_view name,
    uint8_t size, uint8_t type, bool needsScale, const std::string& path)
{
    for (const auto& f : fields) {
        if (f.name == name) {
            if (f.size != size || f.type != type || (needsScale && f.scale <= 0)) {
                throw std::runtime_error(path + ": field " + std::string(name) + " has an unexpected layout");
            }
            return f;
        }
    }
    throw std::runtime_error(path + ": no field " + std::string(name));
}

void ParseKStarsFile(const std::vector<uint8_t>& bytes, const std::string& path, std::vector<KStarsStar>& out)
{
    const ByteReader in(bytes, path);
    size_t at = kTextBytes;
    if (in.U8(at) != 'S' || in.U8(at + 1) != 'K') {
        throw std::runtime_error(path + ": not a little-endian KStars star file");
    }
    at += 2;
    if (in.U8(at) != 1) {
        throw std::runtime_error(path + ": unknown format version " + std::to_string(in.U8(at)));
    }
    at += 1;
    const uint16_t fieldCount = in.U16(at);
    at += 2;
    if (fieldCount == 0 || fieldCount > kMaxFields) {
        throw std::runtime_error(path + ": implausible field count " + std::to_string(fieldCount));
    }

    std::vector<FieldDescriptor> fields;
    size_t recordBytes = 0;
    for (uint16_t i = 0; i < fieldCount; ++i, at += kDescriptorBytes) {
        in.Need(at, kDescriptorBytes);
        FieldDescriptor f;
        for (size_t c = 0; c < 10 && in.U8(at + c) != 0; ++c) {
            f.name.push_back(static_cast<char>(in.U8(at + c)));
        }
        f.size = in.U8(at + 10);
        f.type = in.U8(at + 11);
        f.scale = in.I32(at + 12);
        f.offset = recordBytes;
        recordBytes += f.size; // at most 64 * 255: cannot overflow
        fields.push_back(std::move(f));
    }
    if (recordBytes == 0 || recordBytes > kMaxRecordBytes) {
        throw std::runtime_error(path + ": implausible record size " + std::to_string(recordBytes));
    }
    const auto& ra = RequireField(fields, "RA", 4, kTypeInt32, true, path);
    const auto& dec = RequireField(fields, "Dec", 4, kTypeInt32, true, path);
    const auto& hd = RequireField(fields, "HD", 4, kTypeInt32, false, path);
    const auto& mag = RequireField(fields, "mag", 2, kTypeInt16, true, path);
    const auto& typeField = RequireField(fields, "spec_type", 2, kTypeChars, false, path);

    const uint32_t entries = in.U32(at);
    at += 4;
    if (entries > kMaxIndexEntries) {
        throw std::runtime_error(path + ": implausible index size " + std::to_string(entries));
    }
    in.Need(at, static_cast<size_t>(entries) * kIndexEntryBytes);
    for (uint32_t e = 0; e < entries; ++e, at += kIndexEntryBytes) {
        const size_t offset = in.U32(at + 4);
        const size_t count = in.U32(at + 8);
        // count * recordBytes fits: count < 2^32 and recordBytes <= 1024 in a 64-bit size_t;
        // Need() then checks the block against the file's end.
        static_assert(sizeof(size_t) >= 8, "the block size check needs 64-bit sizes");
        in.Need(offset, count * recordBytes);
        for (size_t r = 0; r < count; ++r) {
            const size_t rec = offset + r * recordBytes;
            KStarsStar s;
            s.raHours = static_cast<double>(in.I32(rec + ra.offset)) / ra.scale;
            s.decDeg = static_cast<double>(in.I32(rec + dec.offset)) / dec.scale;
            s.magnitude = static_cast<double>(in.I16(rec + mag.offset)) / mag.scale;
            s.hd = in.I32(rec + hd.offset);
            s.spectral = {static_cast<char>(in.U8(rec + typeField.offset)),
                static_cast<char>(in.U8(rec + typeField.offset + 1))};
            if (s.raHours < 0 || s.raHours >= 24 || s.decDeg < -90 || s.decDeg > 90) {
                throw std::runtime_error(
                    path + ": star position out of range at offset " + std::to_string(rec));
            }
            out.push_back(s);
        }
    }
}

// ----------------------------------------------------------------------------
// [SECTION] Joining
// ----------------------------------------------------------------------------

constexpr double kDegToRad = std::numbers::pi / 180.0;
constexpr double kPositionToleranceDeg = 1.0 / 60.0; // one arcminute
constexpr double kMagnitudeTolerance = 0.5;
// An HD match farther away than this is reported: one number would then name
// two different stars in the two sources.
constexpr double kHdSuspiciousDeg = 0.1;

enum class JoinKind { ByHd, ByPosition, Unmatched };

struct Joined {
    JoinKind kind = JoinKind::Unmatched;
    const KStarsStar* match = nullptr;
};

// Great-circle distance, haversine form (accurate for the tiny angles we test).
double SeparationDeg(double ra1Hours, double dec1Deg, double ra2Hours, double dec2Deg)
{
    const double d1 = dec1Deg * kDegToRad;
    const double d2 = dec2Deg * kDegToRad;
    const double dRa = (ra2Hours - ra1Hours) * 15.0 * kDegToRad;
    const double h
        = std::pow(std::sin((d2 - d1) / 2), 2) + std::cos(d1) * std::cos(d2) * std::pow(std::sin(dRa / 2), 2);
    return 2 * std::asin(std::min(1.0, std::sqrt(h))) / kDegToRad;
}

class Joiner {
public:
    explicit Joiner(const std::vector<KStarsStar>& stars)
        : stars_(stars)
    {
        for (const auto& s : stars_) {
            if (s.hd > 0) {
                byHd_.emplace(s.hd, &s);
            }
        }
        byDec_.reserve(stars_.size());
        for (const auto& s : stars_) {
            byDec_.push_back(&s);
        }
        std::sort(byDec_.begin(), byDec_.end(), [](auto* a, auto* b) { return a->decDeg < b->decDeg; });
    }

    Joined Join(const BrightStar& b, int& suspiciousHd) const
    {
        // Doubles can share one HD number: take the component whose magnitude
        // is closest to the catalogue's.
        if (b.hd > 0) {
            const auto [first, last] = byHd_.equal_range(b.hd);
            const KStarsStar* best = nullptr;
            for (auto it = first; it != last; ++it) {
                if (!best
                    || std::abs(it->second->magnitude - b.magnitude)
                        < std::abs(best->magnitude - b.magnitude)) {
                    best = it->second;
                }
            }
            if (best) {
                if (SeparationDeg(b.raHours, b.decDeg, best->raHours, best->decDeg) > kHdSuspiciousDeg) {
                    ++suspiciousHd;
                    std::fprintf(stderr, "note: HR %ld / HD %ld lies %.2f deg from its KStars namesake\n",
                        b.hr, b.hd, SeparationDeg(b.raHours, b.decDeg, best->raHours, best->decDeg));
                }
                return {JoinKind::ByHd, best};
            }
        }
        // Stars sorted by declination: only a narrow band needs a look.
        const auto lower = std::lower_bound(byDec_.begin(), byDec_.end(), b.decDeg - kPositionToleranceDeg,
            [](const KStarsStar* s, double d) { return s->decDeg < d; });
        const KStarsStar* best = nullptr;
        double bestSep = std::numeric_limits<double>::infinity();
        for (auto it = lower; it != byDec_.end() && (*it)->decDeg <= b.decDeg + kPositionToleranceDeg; ++it) {
            const double sep = SeparationDeg(b.raHours, b.decDeg, (*it)->raHours, (*it)->decDeg);
            if (sep <= kPositionToleranceDeg
                && std::abs((*it)->magnitude - b.magnitude) <= kMagnitudeTolerance && sep < bestSep) {
                best = *it;
                bestSep = sep;
            }
        }
        return best ? Joined {JoinKind::ByPosition, best} : Joined {};
    }

private:
    const std::vector<KStarsStar>& stars_;
    std::multimap<long, const KStarsStar*> byHd_;
    std::vector<const KStarsStar*> byDec_;
};

// The first letter of the spectral type. Some types start with a blank (" A")
// or a lower-case prefix ("sd"): the class is the first upper-case letter, and
// a type without one gives none.
std::optional<char> ClassLetter(const std::array<char, 2>& spectral)
{
    for (char c : spectral) {
        if (c >= 'A' && c <= 'Z') {
            return c;
        }
    }
    return std::nullopt;
}

// ----------------------------------------------------------------------------
// [SECTION] Output
// ----------------------------------------------------------------------------

// Two decimals, and never "-0.00": the value is rounded first so a tiny
// negative number prints as plain zero.
std::string Fixed2(double v)
{
    double r = std::round(v * 100.0) / 100.0;
    if (r == 0.0) {
        r = 0.0;
    }
    std::array<char, 32> buf {};
    std::snprintf(buf.data(), buf.size(), "%.2f", r);
    return buf.data();
}

std::string FormatLine(const BrightStar& b, char letter)
{
    // Right ascension in hundredths of a turn, declination in hundredths of a half turn.
    return Fixed2(b.magnitude) + ";" + Fixed2(b.raHours / 24.0 * 100.0) + ";"
        + Fixed2(b.decDeg / 180.0 * 100.0) + ";" + letter + "\r\n";
}

void WriteAtomically(const std::string& path, const std::string& data)
{
    const std::string tmp = path + ".tmp";
    {
        FilePtr f(std::fopen(tmp.c_str(), "wb"));
        if (!f) {
            throw std::runtime_error(tmp + ": " + std::strerror(errno));
        }
        if (std::fwrite(data.data(), 1, data.size(), f.get()) != data.size() || std::fflush(f.get()) != 0) {
            throw std::runtime_error(tmp + ": write error");
        }
        if (std::fclose(f.release()) != 0) {
            throw std::runtime_error(tmp + ": write error");
        }
    }
    if (std::rename(tmp.c_str(), path.c_str()) != 0) {
        std::remove(tmp.c_str());
        throw std::runtime_error(path + ": " + std::strerror(errno));
    }
}

// ----------------------------------------------------------------------------
// [SECTION] Entry point
// ----------------------------------------------------------------------------

// Stars no source gives a class for: the letter the scene's class table maps
// to its fallback colour anyway, so no star is pretended into a real class.
constexpr char kUnknownClass = '?';

int Run(int argc, char** argv)
{
    std::string outPath;
    std::vector<std::string> inputs;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "-o" && i + 1 < argc) {
            outPath = argv[++i];
        } else {
            inputs.emplace_back(arg);
        }
    }
    if (outPath.empty() || inputs.size() < 2) {
        std::fprintf(stderr, "usage: %s -o stars.dat BSC namedstars.dat [unnamedstars.dat ...]\n", argv[0]);
        return 2;
    }

    const auto bright = ParseBrightStarCatalogue(ReadWholeFile(inputs[0]), inputs[0]);
    std::vector<KStarsStar> kstars;
    for (size_t i = 1; i < inputs.size(); ++i) {
        const size_t before = kstars.size();
        ParseKStarsFile(ReadWholeFile(inputs[i]), inputs[i], kstars);
        std::printf("%s: %zu stars\n", inputs[i].c_str(), kstars.size() - before);
    }
    std::printf("%s: %zu stars\n", inputs[0].c_str(), bright.size());

    const Joiner joiner(kstars);
    int byHd = 0;
    int byPosition = 0;
    int unmatched = 0;
    int noLetter = 0;
    int suspiciousHd = 0;
    std::map<char, int> classCounts;
    std::string out;
    out.reserve(bright.size() * 24);
    for (const auto& b : bright) {
        const Joined j = joiner.Join(b, suspiciousHd);
        std::optional<char> letter;
        switch (j.kind) {
        case JoinKind::ByHd:
            ++byHd;
            break;
        case JoinKind::ByPosition:
            ++byPosition;
            break;
        case JoinKind::Unmatched:
            ++unmatched;
            std::fprintf(stderr, "unmatched: HR %ld HD %ld \"%s\" mag %.2f\n", b.hr, b.hd, b.name.c_str(),
                b.magnitude);
            break;
        }
        if (j.match) {
            letter = ClassLetter(j.match->spectral);
            if (!letter) {
                ++noLetter;
                std::fprintf(stderr, "no class letter: HR %ld spectral type \"%.2s\"\n", b.hr,
                    j.match->spectral.data());
            }
        }
        const char c = letter.value_or(kUnknownClass);
        ++classCounts[c];
        out += FormatLine(b, c);
    }
    WriteAtomically(outPath, out);

    std::printf("matched by HD number:  %d\n", byHd);
    std::printf("matched by position:   %d (within %.0f arcmin and %.1f mag)\n", byPosition,
        kPositionToleranceDeg * 60, kMagnitudeTolerance);
    std::printf("unmatched:             %d\n", unmatched);
    std::printf("matched, no class:     %d\n", noLetter);
    std::printf("HD matches > %.1f deg: %d\n", kHdSuspiciousDeg, suspiciousHd);
    std::printf("classes:");
    for (const auto& [c, n] : classCounts) {
        std::printf(" %c %d", c, n);
    }
    std::printf("\nwrote %s: %zu lines, %zu bytes\n", outPath.c_str(), bright.size(), out.size());
    return 0;
}

} // namespace
} // namespace velmora::starcat

int main(int argc, char** argv)
{
    try {
        return velmora::starcat::Run(argc, argv);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "velmora-starcat: %s\n", e.what());
        return 1;
    }
}
