#include "settings/IniFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string_view>
#include <vector>

#include "util/FileIO.h"
#include "util/FileLock.h"

namespace tavolin {
namespace {

constexpr std::string_view kLineEnd = "\r\n";

std::string Bracketed(const std::string& section) {
    std::string header = section;
    if (header.empty() || header.front() != '[') header.insert(header.begin(), '[');
    if (header.back() != ']') header.push_back(']');
    return header;
}

bool IsBracketLine(std::string_view line) {
    return !line.empty() && line.front() == '[' && line.back() == ']';
}

// Lines as a text-mode reader sees them: split at LF, a CR right before the LF dropped. The
// text after the last LF is the last line, even when it is empty.
std::vector<std::string_view> SplitLines(std::string_view text) {
    std::vector<std::string_view> lines;
    size_t start = 0;
    for (;;) {
        const size_t lf = text.find('\n', start);
        if (lf == std::string_view::npos) {
            lines.push_back(text.substr(start));
            return lines;
        }
        size_t end = lf;
        if (end > start && text[end - 1] == '\r') --end;
        lines.push_back(text.substr(start, end - start));
        start = lf + 1;
    }
}

bool IsReadableFile(const std::filesystem::path& path) {
    ReadStatus status;
    return OpenRegularFile(path, status).IsValid();
}

}  // namespace

bool IniFile::Open(const std::filesystem::path& path, bool create) {
    if (!IsReadableFile(path)) {
        if (!create) return false;
        // Create when missing; an existing file that failed the read test keeps its bytes.
        // O_NONBLOCK: a FIFO in the way is refused below, not waited on.
        const UniqueFd fd(
            ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | O_NONBLOCK | O_NOCTTY, 0666));
        if (!fd.IsValid()) return false;
        struct stat st {};
        const bool regular = ::fstat(fd.Get(), &st) == 0 && S_ISREG(st.st_mode);
        if (!regular) return false;
    }
    m_path = path;
    m_open = true;
    return true;
}

bool IniFile::ReadValue(const std::string& section, const std::string& key,
                        std::string& value) const {
    if (!m_open) return false;
    std::string text;
    if (ReadWholeFile(m_path, text) != ReadStatus::Ok) return false;
    return ReadIniValue(text, section, key, value);
}

IniSnapshot IniFile::Snapshot() const {
    IniSnapshot snapshot;
    if (m_open) snapshot.Load(m_path);
    return snapshot;
}

bool ReadIniValue(std::string_view text, const std::string& section, const std::string& key,
                  std::string& value) {
    const std::string header = Bracketed(section);
    bool inside = false;
    bool found = false;
    std::string result;
    for (std::string_view line : SplitLines(text)) {
        if (line == header) {
            inside = true;
        } else if (IsBracketLine(line)) {
            inside = false;
            continue;
        } else if (!inside) {
            continue;
        }
        if (line.substr(0, key.size()) != key) continue;
        std::string_view rest = line.substr(key.size());
        if (rest.substr(0, 1) == "=") {
            rest.remove_prefix(1);
        } else if (rest.substr(0, 2) == " =") {
            rest.remove_prefix(2);
        } else {
            continue;
        }
        while (!rest.empty() && rest.front() == ' ') rest.remove_prefix(1);
        result.assign(rest);
        found = true;  // keep scanning: the last match wins
    }
    if (found) value = std::move(result);
    return found;
}

bool IniFile::WriteValue(const std::string& section, const std::string& key,
                         const std::string& value, bool create) {
    if (!m_open) return false;
    // Held from the read to the rename: a concurrent writer's change is never lost.
    const FileLock lock(m_path);
    std::string text;
    if (ReadWholeFile(m_path, text) != ReadStatus::Ok) return false;
    std::string out;
    switch (WriteIniValue(text, section, key, value, create, out)) {
        case IniWrite::SectionMissing:
            return false;
        case IniWrite::Written:
            return AtomicWriteFile(m_path, out, Durability::Sync, m_faults.get());
        case IniWrite::KeyMissing:
            (void)AtomicWriteFile(m_path, out, Durability::Sync, m_faults.get());
            return false;
    }
    return false;
}

bool IniFile::WriteValues(const std::vector<Value>& values, bool create) {
    if (!m_open) return false;
    const FileLock lock(m_path);
    std::string text;
    if (ReadWholeFile(m_path, text) != ReadStatus::Ok) return false;
    for (const Value& v : values) {
        std::string out;
        if (WriteIniValue(text, v.section, v.key, v.value, create, out) != IniWrite::Written) {
            return false;
        }
        text = std::move(out);
    }
    return AtomicWriteFile(m_path, text, Durability::Sync, m_faults.get());
}

IniWrite WriteIniValue(std::string_view text, const std::string& section, const std::string& key,
                       const std::string& value, bool create, std::string& out) {
    const std::string header = Bracketed(section);
    const std::vector<std::string_view> lines = SplitLines(text);

    // A file edited by hand may hold the section header more than once. Every occurrence is a
    // part of the section: matching key lines are replaced in all of them (the reader would
    // otherwise still see an old duplicate), and a new key goes to the end of the last one,
    // where the reader's "last match wins" picks it up. No line is ever lost, however long
    // the file is.
    std::vector<bool> inSection(lines.size(), false);
    size_t lastSectionLine = lines.size();  // index of the last line of the last occurrence
    bool inside = false;
    for (size_t i = 0; i < lines.size(); ++i) {
        if (lines[i] == header) {
            inside = true;
        } else if (inside && IsBracketLine(lines[i])) {
            inside = false;
        }
        inSection[i] = inside;
        if (inside) lastSectionLine = i;
    }

    const std::string newLine = key + "=" + value;
    if (lastSectionLine == lines.size()) {
        if (!create) return IniWrite::SectionMissing;
        out = text;
        if (!out.empty() && out.back() != '\n') out += kLineEnd;  // never glue onto a last line
        out += header;
        out += kLineEnd;
        out += newLine;
        out += kLineEnd;
        return IniWrite::Written;
    }

    const std::string keyEquals = key + "=";
    const std::string keyBlank = key + " ";
    out.clear();
    out.reserve(text.size() + newLine.size() + 2);
    bool written = false;
    for (size_t i = 0; i < lines.size(); ++i) {
        const std::string_view line = lines[i];
        const bool isKeyLine = inSection[i] && line != header &&
                               (line.substr(0, keyEquals.size()) == keyEquals ||
                                line.substr(0, keyBlank.size()) == keyBlank);
        if (isKeyLine) {
            out += newLine;
            out += kLineEnd;
            written = true;
        } else if (!line.empty()) {
            out += line;
            out += kLineEnd;
        }
        if (i == lastSectionLine && !written && create) {
            out += newLine;
            out += kLineEnd;
            written = true;
        }
    }
    return written ? IniWrite::Written : IniWrite::KeyMissing;
}

}  // namespace tavolin
