#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>

namespace quillbox {

// Every failure the core can report. The numbers are what the "Error: " message box shows,
// so they never change meaning once given out.
enum class ErrorCode : int {
    FileNotOpened = 1,
    FileRead = 2,
    FileWrite = 3,
    PastEndOfFile = 4,
    BadOffset = 5,
    BadHexText = 6,
    UnsupportedRom = 7,
    RomTooShort = 9,
    NameTooLong = 10,
    DescriptionTooLong = 11,
    NoSuchItem = 12,
    NoImages = 13,
    BadValue = 14,
    RomChanged = 15,
    BadImageFile = 16,
    NoFreeSpace = 17,
    HistoryFailed = 18,
    TableNotFound = 19,
    TablesDisagree = 20,
    BadImportFile = 21,
    TextNotEditable = 22,
    NothingToUndo = 23,
    UndoConflict = 24,
    UnknownCharacters = 25,
    NoItemId = 26,
};

// The one-line description of each error number, for the places that show only the number.
std::string_view DescribeErrorCode(ErrorCode code);

struct Error {
    Error() = default;
    // An error whose text is the whole sentence, with no heading before it.
    Error(ErrorCode errorCode, std::string text, std::string fieldKey = {}, int offsetInRecord = -1)
        : code(errorCode), message(text), detail(std::move(text)), field(std::move(fieldKey)), recordOffset(offsetInRecord)
    {
    }

    ErrorCode code{};
    // The sentence as it is shown (ErrorText): the code's heading and the detail, as MakeError
    // put them together, with whatever a later layer added.
    std::string message;
    // The message without its heading, for a layer that says the error in a sentence of its own.
    std::string detail;
    // What was wrong said without the place it was found at (the profile section, ...), for a
    // sentence that names the places itself; empty when it is the detail.
    std::string reason;
    // The item field a refused value was meant for (its key) and where that field lies in the
    // record, so that a front end can point at it without reading the message; empty and -1 when
    // the error concerns no one field.
    std::string field;
    int recordOffset = -1;
    // The offending text or value as it was given or read, where there is one.
    std::optional<std::string> found;
    // Whether the file is as it was: true when nothing was written or everything written was put
    // back, false where a write may have been left part-way.
    bool fileUnchanged = true;

    int Number() const { return static_cast<int>(code); }
};

Error MakeError(ErrorCode code, std::string detail = {});

// An error whose detail names the place it was found at; `reason` says the same without it.
Error MakePlacedError(ErrorCode code, std::string detail, std::string reason);

// The detail, or the whole message when the error has none.
const std::string& DetailOf(const Error& error);

// The code's name as scripts see it ("BadValue").
std::string_view ErrorCodeName(ErrorCode code);

// The sentence a front end shows for the error.
const std::string& ErrorText(const Error& error);

// The error with `more` said after its sentence ("; nothing was changed").
void AddToError(Error& error, std::string_view more);

// The error with the offending text or value it is about.
Error WithFound(Error error, std::string found);

// What was wrong with the place it was found at left out: the reason when one was given, else the detail
// (the whole message when there is no detail).
const std::string& ReasonOf(const Error& error);

// A value or the error that kept it from being made. Written out by hand because the standard
// one is not yet usable with every compiler the project builds with (clang builds the fuzzers).
template <typename T>
class [[nodiscard]] Result {
public:
    Result(T value) : state_(std::in_place_index<0>, std::move(value)) {}
    Result(Error error) : state_(std::in_place_index<1>, std::move(error)) {}

    bool has_value() const { return state_.index() == 0; }
    explicit operator bool() const { return has_value(); }

    T& value() & { return std::get<0>(state_); }
    const T& value() const& { return std::get<0>(state_); }
    T&& value() && { return std::get<0>(std::move(state_)); }
    T& operator*() & { return value(); }
    const T& operator*() const& { return value(); }
    T* operator->() { return &value(); }
    const T* operator->() const { return &value(); }

    const Error& error() const { return std::get<1>(state_); }

private:
    std::variant<T, Error> state_;
};

template <>
class [[nodiscard]] Result<void> {
public:
    Result() = default;
    Result(Error error) : error_(std::move(error)), failed_(true) {}

    bool has_value() const { return !failed_; }
    explicit operator bool() const { return !failed_; }
    const Error& error() const { return error_; }

private:
    Error error_;
    bool failed_ = false;
};

using Status = Result<void>;

}  // namespace quillbox
