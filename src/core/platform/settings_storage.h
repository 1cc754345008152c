#pragma once

#include "core/common/status.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

namespace tallyhawk
{

// The settings file: named text and number values in the native settings format, for the user at
// ~/.config/Quillmarch/Tallyhawk.conf. The file holds the password, so it is kept private (0600).
class SettingsStorage
{
public:
    // A text read without a limit on its characters.
    static constexpr std::size_t kWholeText = static_cast<std::size_t>(-1);

    // One read of the file: every value as the file held it when the read began.
    class Snapshot
    {
    public:
        Snapshot(Snapshot&&) noexcept;
        Snapshot& operator=(Snapshot&&) noexcept;
        ~Snapshot();

        // False when the file exists but cannot be read; then every value is missing.
        bool readable() const { return readable_; }
        // Whether the file has lines the reader did not understand (the values it could read still
        // count). Ask after reading the values: the reader finds damage in the parts that reads touch.
        // It tells only the first read of a file in a process, so the damage is remembered until the
        // file changes.
        bool Damaged() const;
        // A text value (a string, a comma list joined back, or bytes taken as UTF-8), cut to at most
        // `limit` characters; nothing when it is missing or not a text.
        std::optional<std::string> Text(std::string_view name, std::size_t limit = kWholeText) const;
        // A number value (an integer, or a decimal text) that fits 32 bits; nothing otherwise.
        std::optional<std::int32_t> Number(std::string_view name) const;

    private:
        friend class SettingsStorage;
        struct View;
        explicit Snapshot(const std::string& filePath);

        std::unique_ptr<View> view_;
        std::string filePath_;
        bool readable_ = false;
    };

    using Value = std::variant<std::string, std::int32_t>;
    using NamedValue = std::pair<std::string, Value>;

    // The user's settings file.
    SettingsStorage();
    // Another settings file (tests, tools).
    explicit SettingsStorage(std::string filePath);

    // Where the user's settings are kept.
    static std::string DefaultFilePath();
    const std::string& filePath() const { return filePath_; }

    // Reads the file once; reading never creates it.
    Snapshot Read() const;
    // One value read alone, through a fresh read of the file.
    std::optional<std::string> ReadText(std::string_view name) const;
    std::optional<std::int32_t> ReadNumber(std::string_view name) const;

    // Writes the values in one go through a fresh view of the file, keeping every other value it
    // holds. kFailed when the file exists but cannot be read (writing would drop what it holds) or
    // cannot be written; else kOk.
    int Write(const std::vector<NamedValue>& values) const;
    int WriteText(std::string_view name, std::string_view value) const;
    int WriteNumber(std::string_view name, std::int32_t value) const;

private:
    std::string filePath_;
};

} // namespace tallyhawk
