#include "platform/handwriting/character_recognizer.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <string_view>
#include <utility>

#include "platform/text/unicode_text.h"

#if TESSARINTH_HAVE_ZINNIA
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zinnia.h>

#include <cerrno>
#include <span>
#include <system_error>

#include "platform/handwriting/zinnia_model.h"
#endif

namespace handwriting {

namespace {

constexpr const char* kModelVariable = "TESSARINTH_HANDWRITING_MODEL";
constexpr const char* kDebianJapaneseModel = "/usr/share/tegaki/models/zinnia/handwriting-ja.model";

}  // namespace

#if TESSARINTH_HAVE_ZINNIA

namespace {

// The square the strokes are handed to the model in: zinnia divides by the frame it is given, so
// a larger frame only keeps rounding out of the features.
constexpr int kModelFrame = 1000;

// The model reads where in its frame a stroke lies, so the ink is moved to the frame's centre:
// a character written off-centre or small in a corner of the box reads as one written in the
// middle. Its size is kept, since the model tells characters apart by it (口 is written small, 囗
// large). Measured on the tests' written characters, at their size 50 of 62 read right first
// both ways; drawn at 60 % in the box's corner 25 read right unmoved and 41 centred, while
// stretching the ink to a fixed size lost 口 at every size tried.
// How deep the model's ranking is searched for Latin letters and digits, which a Japanese model
// ranks behind many kanji of a similar shape.
constexpr size_t kLatinSearchDepth = 400;

// A character the model answers with, and the characters written in the same shape that it was
// never trained on: a hand writes カ and 力 alike, so the model's 力 stands for both.
struct SameShape {
    std::u16string_view modelAnswer;
    std::u16string_view alsoReads;
};

constexpr SameShape kKatakanaOfSameShape[] = {
    {u"力", u"カ"}, {u"口", u"ロ"}, {u"二", u"ニ"}, {u"八", u"ハ"}, {u"卜", u"ト"}, {u"夕", u"タ"},
    {u"へ", u"ヘ"}, {u"り", u"リ"}, {u"工", u"エ"}, {u"才", u"オ"}, {u"匕", u"ヒ"}, {u"厶", u"ム"},
    {u"丿", u"ノ"}, {u"一", u"ー"}, {u"千", u"チ"}, {u"三", u"ミ"}, {u"又", u"ヌ"},
};

// The Japanese model knows digits but no Latin letter. Only letters a hand writes like a digit or
// a character the model reads well are listed: a U, C, X or Z written plainly did not bring up
// 凵, 匚, 乂 or 乙 in measurement, so those would only offer a stray letter.
constexpr SameShape kLatinOfSameShape[] = {
    {u"0", u"Oo"}, {u"1", u"lI"}, {u"5", u"S"}, {u"丁", u"T"}, {u"し", u"L"},
};

// The most points of one stroke the model is given. Zinnia's time grows about threefold with each
// two more turns in a stroke (measured: a zigzag of 20 points 11 ms, of 28 points 1.4 s, of 40
// points minutes and then out of memory), so a pen scribbling to and fro would hang the planner.
// A stroke a hand writes turns far fewer times than this; its telling points are kept.
constexpr size_t kMaxModelPointsPerStroke = 16;

// The stroke's telling points, at most `limit`: its ends, then again and again the point that
// lies farthest from the line between its kept neighbours, while any lies off that line.
Stroke TellingPoints(const Stroke& stroke, size_t limit) {
    if (stroke.size() <= 2) {
        return stroke;
    }
    std::vector<bool> kept(stroke.size(), false);
    kept.front() = true;
    kept.back() = true;
    size_t keptCount = 2;
    const auto offLine = [&](size_t from, size_t to, size_t at) {
        const double dx = stroke[to].x - stroke[from].x;
        const double dy = stroke[to].y - stroke[from].y;
        const double px = stroke[at].x - stroke[from].x;
        const double py = stroke[at].y - stroke[from].y;
        const double length = std::hypot(dx, dy);
        return length == 0 ? std::hypot(px, py) : std::abs(dx * py - dy * px) / length;
    };
    while (keptCount < limit) {
        double farthest = 0;
        size_t chosen = 0;
        size_t from = 0;
        for (size_t to = 1; to < stroke.size(); ++to) {
            if (!kept[to]) {
                continue;
            }
            for (size_t at = from + 1; at < to; ++at) {
                if (const double distance = offLine(from, to, at); distance > farthest) {
                    farthest = distance;
                    chosen = at;
                }
            }
            from = to;
        }
        if (farthest < 1.0) {
            break;
        }
        kept[chosen] = true;
        ++keptCount;
    }
    Stroke telling;
    for (size_t i = 0; i < stroke.size(); ++i) {
        if (kept[i]) {
            telling.push_back(stroke[i]);
        }
    }
    return telling;
}

// The smallest rectangle holding every point of the ink.
struct InkBounds {
    int left = std::numeric_limits<int>::max();
    int top = std::numeric_limits<int>::max();
    int right = std::numeric_limits<int>::min();
    int bottom = std::numeric_limits<int>::min();

    double CentreX() const { return (left + right) / 2.0; }
    double CentreY() const { return (top + bottom) / 2.0; }
};

// The strokes with the points the pen dragged outside the box moved onto its edge, so that a slip
// past the box does not shrink the character.
std::vector<Stroke> InsideBox(const std::vector<Stroke>& strokes, int boxSize) {
    std::vector<Stroke> inside = strokes;
    for (Stroke& stroke : inside) {
        for (InkPoint& point : stroke) {
            point.x = std::clamp(point.x, 0, boxSize - 1);
            point.y = std::clamp(point.y, 0, boxSize - 1);
        }
    }
    return inside;
}

InkBounds BoundsOf(const std::vector<Stroke>& strokes) {
    InkBounds bounds;
    for (const Stroke& stroke : strokes) {
        for (const InkPoint& point : stroke) {
            bounds.left = std::min(bounds.left, point.x);
            bounds.top = std::min(bounds.top, point.y);
            bounds.right = std::max(bounds.right, point.x);
            bounds.bottom = std::max(bounds.bottom, point.y);
        }
    }
    return bounds;
}

bool IsLatinLetterOrDigit(std::u16string_view character) {
    if (character.size() != 1) {
        return false;
    }
    const char16_t unit = character.front();
    return (unit >= u'0' && unit <= u'9') || (unit >= u'A' && unit <= u'Z') ||
           (unit >= u'a' && unit <= u'z');
}

// Adds a candidate once, keeping the order they came in.
void AddCandidate(std::vector<std::u16string>& candidates, std::u16string_view candidate) {
    if (std::find(candidates.begin(), candidates.end(), candidate) == candidates.end()) {
        candidates.emplace_back(candidate);
    }
}

// The model's answer followed by the characters of the same shape the set allows.
void AddWithSameShapes(std::vector<std::u16string>& candidates, std::u16string_view answer,
                       CharacterSet set) {
    if (set == CharacterSet::All) {
        AddCandidate(candidates, answer);
        for (const SameShape& shape : kKatakanaOfSameShape) {
            if (shape.modelAnswer == answer) {
                AddCandidate(candidates, shape.alsoReads);
            }
        }
        return;
    }
    if (IsLatinLetterOrDigit(answer)) {
        AddCandidate(candidates, answer);
    }
    for (const SameShape& shape : kLatinOfSameShape) {
        if (shape.modelAnswer == answer) {
            for (const char16_t letter : shape.alsoReads) {
                AddCandidate(candidates, std::u16string_view(&letter, 1));
            }
        }
    }
}

// Zinnia's error text without the source line and condition it starts with, which mean nothing to
// the user: "recognizer.cpp(117) [check] model file is broken" says "model file is broken".
std::string WithoutSourcePosition(std::string_view zinniaError) {
    const size_t end = zinniaError.find("] ");
    if (end == std::string_view::npos) {
        return std::string(zinniaError);
    }
    return std::string(zinniaError.substr(end + 2));
}

}  // namespace

// A model file mapped into memory, read-only, for as long as the recogniser reads it.
class MappedModel {
public:
    MappedModel() = default;
    ~MappedModel() {
        if (!bytes_.empty()) {
            munmap(const_cast<std::byte*>(bytes_.data()), bytes_.size());
        }
    }
    MappedModel(const MappedModel&) = delete;
    MappedModel& operator=(const MappedModel&) = delete;

    // Maps a regular file of at most kMaxModelBytes; the reason when it cannot ("not a regular
    // file", the system's words, or the damage a file too large is).
    std::optional<std::string> Map(const std::filesystem::path& path) {
        // Looked at before it is opened, and opened without waiting: a FIFO would wait for ever.
        struct stat info {};
        if (stat(path.c_str(), &info) != 0) {
            return std::generic_category().message(errno);
        }
        if (!S_ISREG(info.st_mode)) {
            return std::string("not a regular file");
        }
        const int descriptor = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
        if (descriptor < 0) {
            return std::generic_category().message(errno);
        }
        std::optional<std::string> failure;
        if (fstat(descriptor, &info) != 0 || !S_ISREG(info.st_mode)) {
            failure = "not a regular file";
        } else if (static_cast<uint64_t>(info.st_size) > kMaxModelBytes) {
            failure = "it is damaged: it holds " + std::to_string(info.st_size) +
                      " bytes, more than a model's " + std::to_string(kMaxModelBytes);
        } else if (info.st_size > 0) {
            const auto size = static_cast<size_t>(info.st_size);
            void* mapped = mmap(nullptr, size, PROT_READ, MAP_PRIVATE, descriptor, 0);
            if (mapped == MAP_FAILED) {
                failure = std::generic_category().message(errno);
            } else {
                bytes_ = std::span(static_cast<const std::byte*>(mapped), size);
            }
        }
        close(descriptor);
        return failure;
    }

    std::span<const std::byte> Bytes() const { return bytes_; }

private:
    std::span<const std::byte> bytes_;
};

struct CharacterRecognizer::Model {
    // Declared first, so that it goes after the recogniser that reads it.
    MappedModel file;
    std::unique_ptr<zinnia::Recognizer> recognizer{zinnia::Recognizer::create()};
};

std::unique_ptr<CharacterRecognizer> CharacterRecognizer::Load(const std::filesystem::path& model,
                                                               std::string& error) {
    const std::string named = "the handwriting model " + model.string();
    auto loaded = std::make_unique<Model>();
    if (const std::optional<std::string> unread = loaded->file.Map(model)) {
        error = "cannot read " + named + ": " + *unread;
        return nullptr;
    }
    const std::span<const std::byte> bytes = loaded->file.Bytes();
    if (const std::optional<std::string> damage = ModelDamage(bytes)) {
        error = named + " is damaged: " + *damage;
        return nullptr;
    }
    if (!loaded->recognizer->open(reinterpret_cast<const char*>(bytes.data()), bytes.size())) {
        error = "cannot read " + named + ": " + WithoutSourcePosition(loaded->recognizer->what());
        return nullptr;
    }
    if (loaded->recognizer->size() == 0) {
        error = named + " knows no characters";
        return nullptr;
    }
    return std::unique_ptr<CharacterRecognizer>(new CharacterRecognizer(std::move(loaded)));
}

std::vector<std::u16string> CharacterRecognizer::Recognize(const std::vector<Stroke>& written,
                                                           int boxSize, CharacterSet set,
                                                           size_t count) const {
    std::vector<std::u16string> candidates;
    if (count == 0 || boxSize <= 0) {
        return candidates;
    }
    const std::vector<Stroke> strokes = InsideBox(written, boxSize);
    const bool anyMovement = std::any_of(strokes.begin(), strokes.end(), [](const Stroke& stroke) {
        return std::any_of(stroke.begin(), stroke.end(), [&](const InkPoint& point) {
            return point.x != stroke.front().x || point.y != stroke.front().y;
        });
    });
    if (!anyMovement) {
        return candidates;
    }

    std::unique_ptr<zinnia::Character> character(zinnia::Character::create());
    character->set_width(kModelFrame);
    character->set_height(kModelFrame);
    const InkBounds bounds = BoundsOf(strokes);
    const double scale = static_cast<double>(kModelFrame) / boxSize;
    const auto toFrame = [scale](int coordinate, double inkCentre) {
        return static_cast<int>(std::lround(kModelFrame / 2.0 + (coordinate - inkCentre) * scale));
    };
    size_t strokeId = 0;
    for (const Stroke& stroke : strokes) {
        if (stroke.empty()) {
            continue;
        }
        for (const InkPoint& point : TellingPoints(stroke, kMaxModelPointsPerStroke)) {
            character->add(strokeId, toFrame(point.x, bounds.CentreX()),
                           toFrame(point.y, bounds.CentreY()));
        }
        ++strokeId;
    }

    const size_t depth = set == CharacterSet::All ? count : std::max(count, kLatinSearchDepth);
    std::unique_ptr<zinnia::Result> result(model_->recognizer->classify(*character, depth));
    if (result == nullptr) {
        return candidates;
    }
    for (size_t i = 0; i < result->size() && candidates.size() < count; ++i) {
        AddWithSameShapes(candidates, platform::Utf8ToUtf16Lossy(result->value(i)), set);
    }
    if (candidates.size() > count) {
        candidates.resize(count);
    }
    return candidates;
}

#else

struct CharacterRecognizer::Model {};

std::unique_ptr<CharacterRecognizer> CharacterRecognizer::Load(const std::filesystem::path&,
                                                               std::string& error) {
    error = "handwriting recognition was not built in (zinnia was missing at build time)";
    return nullptr;
}

std::vector<std::u16string> CharacterRecognizer::Recognize(const std::vector<Stroke>&, int,
                                                           CharacterSet, size_t) const {
    return {};
}

#endif

CharacterRecognizer::CharacterRecognizer(std::unique_ptr<Model> model) : model_(std::move(model)) {}

CharacterRecognizer::~CharacterRecognizer() = default;

std::filesystem::path CharacterRecognizer::DefaultModelPath() {
    const char* chosen = std::getenv(kModelVariable);
    if (chosen != nullptr && *chosen != '\0') {
        return chosen;
    }
    return kDebianJapaneseModel;
}

}  // namespace handwriting
