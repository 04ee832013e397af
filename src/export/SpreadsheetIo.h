#pragma once

#include <QSaveFile>
#include <QString>
#include <QTemporaryFile>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace vnk::exporting {

// Buffered output to a file that replaces its target only when commit() succeeds:
// destroyed without it (a failure, an exception of the row source), the temporary file
// goes away and the previous file stays as it was. Errors raise ExportError with the
// input/output error text.
class SheetOutputFile {
public:
    explicit SheetOutputFile(const QString& target);
    ~SheetOutputFile();
    SheetOutputFile(const SheetOutputFile&) = delete;
    SheetOutputFile& operator=(const SheetOutputFile&) = delete;

    // Bytes appended here go out when the buffer is full, and at commit().
    std::string& buffer() { return buf_; }
    void write(std::string_view bytes);
    void flushIfFull() {
        if (buf_.size() >= kChunk)
            flush();
    }
    void flush();
    void commit();

    static constexpr std::size_t kChunk = std::size_t(1) << 20;

private:
    QSaveFile file_;
    std::string buf_;
};

// A temporary file for a part of the output that can only be placed once the whole
// sheet has been seen (the rows of a file whose column widths come first).
class SpoolFile {
public:
    SpoolFile();
    ~SpoolFile();
    SpoolFile(const SpoolFile&) = delete;
    SpoolFile& operator=(const SpoolFile&) = delete;

    std::string& buffer() { return buf_; }
    void flushIfFull() {
        if (buf_.size() >= SheetOutputFile::kChunk)
            flush();
    }
    void flush();
    // Bytes written so far, the buffer included.
    std::int64_t size() const { return written_ + static_cast<std::int64_t>(buf_.size()); }
    // Copies the whole content to out.
    void copyTo(SheetOutputFile& out);

private:
    QTemporaryFile file_;
    std::string buf_;
    std::int64_t written_ = 0;
};

// A path beside the target for a library that writes by file name. commit() moves the
// finished file over the target; destroyed without it, the temporary file is removed.
// A target that is a symbolic link is written through: its target is replaced, the link
// stays. The staged file has the access of the file it replaces (or of a new file).
class StagedPath {
public:
    explicit StagedPath(const QString& target);
    ~StagedPath();
    StagedPath(const StagedPath&) = delete;
    StagedPath& operator=(const StagedPath&) = delete;

    const QString& path() const { return path_; }
    // The folder of the file written, which holds the staged file.
    QString folder() const;
    void commit();

private:
    QString target_;
    QString path_;
    bool committed_ = false;
};

// XML text: & < > " escaped, characters XML cannot carry (controls other than tab, line
// feed and carriage return) left out, line ends kept as character references.
void appendXmlText(std::string& out, std::string_view utf8);

}  // namespace vnk::exporting
