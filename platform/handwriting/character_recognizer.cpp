#include "platform/handwriting/character_recognizer.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <optional>
#include <string_view>
#include <system_error>
#include <utility>

#include "platform/text/unicode_text.h"

#if TESSARINTH_HAVE_ZINNIA
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zinnia.h>

#include <cerrno>
#include <fstream>
#include <map>
#include <span>
#include <system_error>

#include "platform/handwriting/model_ink.h"
#include "platform/handwriting/writing_prior.h"
#include "platform/handwriting/zinnia_model.h"
#endif

namespace handwriting {

namespace {

constexpr const char* kModelVariable = "TESSARINTH_HANDWRITING_MODEL";
constexpr const char* kDebianJapaneseModel = "/usr/share/tegaki/models/zinnia/handwriting-ja.model";
constexpr const char* kKanaLatinModelVariable = "TESSARINTH_KANA_LATIN_MODEL";
// Where the package puts the planner's model, from the folder of the program.
constexpr const char* kInstalledKanaLatinModel = "../share/tessarinth/handwriting/kana-latin.model";

}  // namespace

#if TESSARINTH_HAVE_ZINNIA

namespace {

// How deep each model's ranking is read: far enough that a character written often but scored a
// little lower by its model can still come up among the candidates.
constexpr size_t kModelSearchDepth = 40;

// The narrow form 英 types for a mark the planner's model knows by its wide form.
struct NarrowForm {
    std::u16string_view wide;
    std::u16string_view narrow;
};
constexpr NarrowForm kNarrowForms[] = {
    {u"！", u"!"},
    {u"？", u"?"},
    {u"（", u"("},
    {u"）", u")"},
};

// Marks that 英 takes as they are.
constexpr std::u16string_view kLatinMarks = u"@-/:";

// The planner's model knows the colon by its wide form, as zinnia's model text keeps a character
// and its weights apart with a colon; it is written narrow, as the other marks among digits.
constexpr std::u16string_view kModelColon = u"：";
constexpr std::u16string_view kColon = u":";

// What the planner's model answers for ink like none of its own characters (a kanji): never a
// candidate, nor is anything the model scores below it.
constexpr std::u16string_view kNoneOfOurs = u"〓";

// What 英 offers for a model's answer: a Latin letter or digit, or a mark written among them in
// its narrow form; nothing for any other character.
std::optional<std::u16string> InLatinSet(std::u16string_view answer) {
    if (answer.size() != 1) {
        return std::nullopt;
    }
    const char16_t unit = answer.front();
    if ((unit >= u'0' && unit <= u'9') || (unit >= u'A' && unit <= u'Z') ||
        (unit >= u'a' && unit <= u'z') || kLatinMarks.find(unit) != std::u16string_view::npos) {
        return std::u16string(answer);
    }
    for (const NarrowForm& form : kNarrowForms) {
        if (form.wide == answer) {
            return std::u16string(form.narrow);
        }
    }
    return std::nullopt;
}

// The characters written like the first candidate follow it, so that the one meant is always
// there to tap (0 O o, 1 l I, カ 力): the models cannot tell them apart. The one of the kind of
// the character typed before goes first, as a word is mostly written in one kind.
void OfferLookAlikesOfTheFirst(std::vector<std::u16string>& candidates, CharacterSet set,
                               std::u16string_view before) {
    if (candidates.empty()) {
        return;
    }
    const std::u16string_view group = LookAlikeGroupOf(candidates.front());
    const WrittenKind kindBefore = WrittenKindOf(before);
    for (const char16_t unit : group) {
        std::u16string alike(1, unit);
        if (kindBefore == WrittenKind::Other || WrittenKindOf(alike) != kindBefore ||
            (set == CharacterSet::LatinAndDigits && !InLatinSet(alike))) {
            continue;
        }
        candidates.erase(std::remove(candidates.begin(), candidates.end(), alike),
                         candidates.end());
        candidates.insert(candidates.begin(), std::move(alike));
        break;
    }
    size_t at = 1;
    for (const char16_t unit : group) {
        std::u16string alike(1, unit);
        if (alike == candidates.front()) {
            continue;
        }
        if (set == CharacterSet::LatinAndDigits && !InLatinSet(alike)) {
            continue;
        }
        candidates.erase(std::remove(candidates.begin() + 1, candidates.end(), alike),
                         candidates.end());
        candidates.insert(candidates.begin() + static_cast<std::ptrdiff_t>(at++), std::move(alike));
    }
}

// A candidate with the score its model gave it, less its band's handicap.
struct Scored {
    std::u16string character;
    float score = 0;
};

// A stroke more than a character's most, as a hand may part one stroke in two.
constexpr size_t kStrokesAHandAdds = 1;
// The most a model's stroke counts file holds: a few bytes a character.
constexpr std::uintmax_t kMaxStrokeCountsBytes = 64 * 1024;

// The most strokes each character of a model is written with, from the file beside it
// (MODEL.strokes, a line "character count" each); empty when there is none or it can't be read,
// which leaves the model's answers unbounded.
std::map<std::u16string, size_t> MostStrokesBeside(const std::filesystem::path& model) {
    std::map<std::u16string, size_t> most;
    std::filesystem::path counts = model;
    counts += ".strokes";
    std::error_code error;
    if (!std::filesystem::is_regular_file(counts, error) ||
        std::filesystem::file_size(counts, error) > kMaxStrokeCountsBytes || error) {
        return most;
    }
    std::ifstream in(counts);
    std::string character;
    size_t count = 0;
    while (in >> character >> count) {
        most[platform::Utf8ToUtf16Lossy(character)] = count;
    }
    return most;
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
    // The most strokes each character of the model is written with, when the model says.
    std::map<std::u16string, size_t> mostStrokes;
    float scoreOffset = 0;
};

std::unique_ptr<CharacterRecognizer::Model> CharacterRecognizer::OpenModel(
    const std::filesystem::path& path, std::string& error) {
    const std::string named = "the handwriting model " + path.string();
    auto loaded = std::make_unique<Model>();
    if (const std::optional<std::string> unread = loaded->file.Map(path)) {
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
    loaded->mostStrokes = MostStrokesBeside(path);
    return loaded;
}

std::unique_ptr<CharacterRecognizer> CharacterRecognizer::Load(const std::vector<ModelFile>& files,
                                                               std::string& error) {
    std::vector<std::unique_ptr<Model>> models;
    for (const ModelFile& file : files) {
        std::unique_ptr<Model> model = OpenModel(file.path, error);
        if (model == nullptr) {
            return nullptr;
        }
        model->scoreOffset = file.scoreOffset;
        models.push_back(std::move(model));
    }
    if (models.empty()) {
        error = "no handwriting model was named";
        return nullptr;
    }
    return std::unique_ptr<CharacterRecognizer>(new CharacterRecognizer(std::move(models)));
}

std::vector<std::u16string> CharacterRecognizer::Recognize(const std::vector<Stroke>& written,
                                                           int boxSize, CharacterSet set,
                                                           size_t count,
                                                           std::u16string_view before) const {
    std::vector<std::u16string> candidates;
    if (count == 0 || boxSize <= 0) {
        return candidates;
    }
    const std::vector<Stroke> strokes = ModelFrameInk(written, boxSize);
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
    for (size_t id = 0; id < strokes.size(); ++id) {
        for (const InkPoint& point : strokes[id]) {
            character->add(id, point.x, point.y);
        }
    }

    // The most strokes a character is written with, as any of the models says; nothing when none
    // knows.
    const auto mostStrokesOf = [&](const std::u16string& answer) {
        std::optional<size_t> most;
        for (const std::unique_ptr<Model>& model : models_) {
            if (const auto found = model->mostStrokes.find(answer);
                found != model->mostStrokes.end()) {
                most = std::max(most.value_or(0), found->second);
            }
        }
        return most;
    };
    std::vector<Scored> scored;
    for (const std::unique_ptr<Model>& model : models_) {
        std::unique_ptr<zinnia::Result> result(
            model->recognizer->classify(*character, kModelSearchDepth));
        if (result == nullptr) {
            continue;
        }
        for (size_t i = 0; i < result->size(); ++i) {
            std::u16string answer = platform::Utf8ToUtf16Lossy(result->value(i));
            if (answer == kNoneOfOurs) {
                // The model finds the ink more like a kanji than like any of its characters
                // below: those are left to the other model's reading (元 is not テ, 引 not ヴ).
                break;
            }
            // Ink of more strokes than the character ever has is some other character, whichever
            // model answers it: Debian's model reads べ as へ, passing over its marks.
            if (const std::optional<size_t> most = mostStrokesOf(answer);
                most && strokes.size() > *most + kStrokesAHandAdds) {
                continue;
            }
            if (answer == kModelColon) {
                answer = kColon;
            }
            if (set == CharacterSet::LatinAndDigits) {
                std::optional<std::u16string> latin = InLatinSet(answer);
                if (!latin) {
                    continue;
                }
                answer = std::move(*latin);
            }
            // Among Latin letters, digits and their marks every answer is as likely.
            const float handicap =
                set == CharacterSet::All ? BandHandicap(WritingBandOf(answer)) : 0.0F;
            const float score = result->score(i) + model->scoreOffset - handicap;
            // A character both models know counts with its better score.
            auto known = std::find_if(scored.begin(), scored.end(), [&](const Scored& other) {
                return other.character == answer;
            });
            if (known == scored.end()) {
                scored.push_back({std::move(answer), score});
            } else {
                known->score = std::max(known->score, score);
            }
        }
    }
    std::stable_sort(scored.begin(), scored.end(),
                     [](const Scored& a, const Scored& b) { return a.score > b.score; });
    for (const Scored& candidate : scored) {
        candidates.push_back(candidate.character);
    }
    OfferLookAlikesOfTheFirst(candidates, set, before);
    if (candidates.size() > count) {
        candidates.resize(count);
    }
    return candidates;
}

#else

struct CharacterRecognizer::Model {};

std::unique_ptr<CharacterRecognizer> CharacterRecognizer::Load(const std::vector<ModelFile>&,
                                                               std::string& error) {
    error = "handwriting recognition was not built in (zinnia was missing at build time)";
    return nullptr;
}

std::vector<std::u16string> CharacterRecognizer::Recognize(const std::vector<Stroke>&, int,
                                                           CharacterSet, size_t,
                                                           std::u16string_view) const {
    return {};
}

#endif

CharacterRecognizer::CharacterRecognizer(std::vector<std::unique_ptr<Model>> models)
    : models_(std::move(models)) {}

CharacterRecognizer::~CharacterRecognizer() = default;

std::filesystem::path CharacterRecognizer::DefaultModelPath() {
    const char* chosen = std::getenv(kModelVariable);
    if (chosen != nullptr && *chosen != '\0') {
        return chosen;
    }
    return kDebianJapaneseModel;
}

std::filesystem::path CharacterRecognizer::DefaultKanaLatinModelPath() {
    const char* chosen = std::getenv(kKanaLatinModelVariable);
    if (chosen != nullptr && *chosen != '\0') {
        return chosen;
    }
    std::error_code error;
    const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error);
    if (!error) {
        const std::filesystem::path installed =
            (program.parent_path() / kInstalledKanaLatinModel).lexically_normal();
        if (std::filesystem::is_regular_file(installed, error)) {
            return installed;
        }
    }
    return TESSARINTH_BUILT_KANA_LATIN_MODEL;
}

}  // namespace handwriting
