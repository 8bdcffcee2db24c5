// Reading the plugin's small text files (the settings file and language
// files): the bytes of a whole file, their decoding by byte-order mark, and
// their lines.
#pragma once

#include <stdexcept>
#include <string>
#include <vector>

#include "plugin/text.h"

// A text file that cannot be read, decoded or written; SystemError is the
// system's reason where a system call failed (0 otherwise).
class TextFileError : public std::runtime_error {
public:
    explicit TextFileError(const char* what, DWORD systemError = 0)
        : std::runtime_error(what), SystemError(systemError)
    {
    }
    DWORD SystemError;
};

// Utf8WithoutMark: UTF-8 as Notepad saves it by default (Windows 10 1903 on).
enum class TextEncoding { Ansi, Utf8, Utf16LE, Utf16BE, Utf8WithoutMark };

struct DecodedText {
    WString Text;
    TextEncoding Encoding = TextEncoding::Ansi;
};

// The bytes of a whole file. A file that does not exist reads as empty when
// missingIsEmpty; every other failure raises TextFileError.
std::string ReadWholeFile(const WString& path, bool missingIsEmpty);

// Decodes by byte-order mark (UTF-8, UTF-16 LE or BE; the mark is not part of
// the text). Without a mark, a text with bytes beyond ASCII that is valid
// UTF-8 throughout is UTF-8 (the odds that an ANSI text is so are slim);
// anything else is the system's ANSI code page. Invalid UTF-8 after a mark or
// a UTF-16 text of odd length raises TextFileError.
DecodedText DecodeText(const std::string& bytes);

// Lines end at CR LF, a lone LF or a lone CR; a break at the very end does not
// add an empty line, and an empty text has no lines.
std::vector<WString> SplitLines(WStringView text);

// ReadWholeFile, DecodeText and SplitLines in one.
std::vector<WString> ReadTextLines(const WString& path);

// The bytes of a text in an encoding, with its byte-order mark (UTF-8, UTF-16
// LE or BE); Ansi is the system's ANSI code page, and Utf8WithoutMark UTF-8,
// both without a mark. A text that
// the ANSI code page cannot hold is written as UTF-8 with its mark instead, so
// that no character turns into a "?" (encoding names what was written).
std::string EncodeText(WStringView text, TextEncoding& encoding);

// Replaces the whole contents of a file, creating it when it does not exist.
// The bytes are written beside it (its name and ".new") and renamed over it,
// so that a failure leaves the file as it was; its hidden, system and archive
// attributes stay. Raises TextFileError when the file cannot be written or
// replaced (a read-only file is not).
void WriteWholeFile(const WString& path, const std::string& bytes);
