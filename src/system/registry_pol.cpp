#include "system/registry_pol.h"

#include "system/error.h"
#include "system/text_encoding.h"
#include "system/value_data.h"

namespace quarn {
namespace {

constexpr std::string_view kSignature = "PReg";
constexpr std::uint32_t kVersion = 1;

void PutUnit(std::string& out, wchar_t unit) {
    out += static_cast<char>(unit & 0xFF);
    out += static_cast<char>((unit >> 8) & 0xFF);
}

void PutNumber(std::string& out, std::uint32_t number) {
    for (const std::uint8_t byte : DwordValueData(number)) {
        out += static_cast<char>(byte);
    }
}

void PutText(std::string& out, std::wstring_view text, const char* what) {
    for (const wchar_t unit : text) {
        if (unit == 0) {
            throw Error(std::string("A Registry.pol ") + what +
                        " cannot hold a zero character: \"" + Utf16ToUtf8(std::wstring(text)) +
                        "\"");
        }
        PutUnit(out, unit);
    }
    PutUnit(out, 0);
}

// Reads the file from its start; each step either advances or says why not.
class Reader {
  public:
    explicit Reader(std::string_view bytes) : bytes_(bytes) {}

    PolReadResult Read() {
        if (bytes_.size() < 8 || bytes_.substr(0, 4) != kSignature) {
            return Fail(PolStatus::NotRegistryPol, 0, "the file does not begin with \"PReg\"");
        }
        at_ = 4;
        const std::uint32_t version = Number();
        if (version != kVersion) {
            return Fail(PolStatus::UnknownVersion, 4,
                        "version " + std::to_string(version) + " is not the known version 1");
        }
        while (at_ < bytes_.size()) {
            const std::size_t start = at_;
            PolRecord record;
            if (!Delimiter(L'[') || !Text(record.key) || !Delimiter(L';') ||
                !Text(record.valueName) || !Delimiter(L';')) {
                return Failed(start);
            }
            if (!Has(4)) {
                return Failed(start);
            }
            record.type = Number();
            if (!Delimiter(L';') || !Has(4)) {
                return Failed(start);
            }
            const std::size_t sizeAt = at_;
            const std::uint32_t size = Number();
            if (!Delimiter(L';')) {
                return Failed(start);
            }
            if (size > bytes_.size() - at_) {
                return Fail(PolStatus::SizeBeyondFile, sizeAt,
                            "the record that begins at byte " + std::to_string(start) +
                                " has a size of " + std::to_string(size) +
                                " bytes, more than the file holds");
            }
            record.data.assign(bytes_.begin() + static_cast<std::ptrdiff_t>(at_),
                               bytes_.begin() + static_cast<std::ptrdiff_t>(at_ + size));
            at_ += size;
            if (!Delimiter(L']')) {
                return Failed(start);
            }
            result_.records.push_back(std::move(record));
            result_.recordOffsets.push_back(start);
        }
        result_.offset = at_;
        return std::move(result_);
    }

  private:
    bool Has(std::size_t count) const { return bytes_.size() - at_ >= count; }

    wchar_t Unit() {
        const auto low = static_cast<unsigned char>(bytes_[at_]);
        const auto high = static_cast<unsigned char>(bytes_[at_ + 1]);
        at_ += 2;
        return static_cast<wchar_t>(low | (high << 8));
    }

    std::uint32_t Number() {
        std::uint32_t number = 0;
        for (int i = 0; i < 4; ++i) {
            number |= static_cast<std::uint32_t>(static_cast<unsigned char>(bytes_[at_ + i]))
                      << (8 * i);
        }
        at_ += 4;
        return number;
    }

    bool Delimiter(wchar_t expected) {
        if (!Has(2)) {
            truncated_ = true;
            return false;
        }
        const std::size_t here = at_;
        if (Unit() != expected) {
            at_ = here;
            missing_ = expected;
            return false;
        }
        return true;
    }

    // UTF-16LE text up to and with its terminating zero.
    bool Text(std::wstring& text) {
        for (;;) {
            if (!Has(2)) {
                truncated_ = true;
                return false;
            }
            const wchar_t unit = Unit();
            if (unit == 0) {
                return true;
            }
            text += unit;
        }
    }

    PolReadResult Failed(std::size_t start) {
        if (truncated_ || at_ >= bytes_.size()) {
            return Fail(
                PolStatus::Truncated, at_,
                "the file ends inside the record that begins at byte " + std::to_string(start));
        }
        return Fail(PolStatus::MissingDelimiter, at_,
                    std::string("a '") + static_cast<char>(missing_) +
                        "' is missing in the record " + "that begins at byte " +
                        std::to_string(start));
    }

    PolReadResult Fail(PolStatus status, std::size_t offset, std::string message) {
        result_.status = status;
        result_.offset = offset;
        result_.message = "Registry.pol: " + message + " (at byte " + std::to_string(offset) + ")";
        return std::move(result_);
    }

    std::string_view bytes_;
    std::size_t at_ = 0;
    bool truncated_ = false;
    wchar_t missing_ = 0;
    PolReadResult result_;
};

}  // namespace

std::string WriteRegistryPol(const std::vector<PolRecord>& records) {
    std::string out(kSignature);
    PutNumber(out, kVersion);
    for (const PolRecord& record : records) {
        if (record.key.empty()) {
            throw Error("A Registry.pol record needs a key");
        }
        PutUnit(out, L'[');
        PutText(out, record.key, "key");
        PutUnit(out, L';');
        PutText(out, record.valueName, "value name");
        PutUnit(out, L';');
        PutNumber(out, record.type);
        PutUnit(out, L';');
        PutNumber(out, static_cast<std::uint32_t>(record.data.size()));
        PutUnit(out, L';');
        out.append(record.data.begin(), record.data.end());
        PutUnit(out, L']');
    }
    return out;
}

PolReadResult ReadRegistryPol(std::string_view bytes) {
    return Reader(bytes).Read();
}

}  // namespace quarn
