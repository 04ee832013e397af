#pragma once

#include "db/ValueText.h"

#include <QString>
#include <cstdint>
#include <string>
#include <string_view>

class QIODevice;

namespace vnk::db {
class RowSource;
}

namespace vnk::exporting {

struct DelimitedOptions {
    QString fileName;  // full path; an existing file is replaced only by a complete one
    QString delimiter; // 1 to 3 characters from the dialog, any text from the command line;
                       // a tab choice arrives as one tab character
    QString withHeader = QStringLiteral("1"); // "0": no title line; anything else writes it
};

// Told how far an export has got (the UI keeps its wait window alive with it).
class ExportProgress {
public:
    virtual ~ExportProgress() = default;
    virtual void rowsWritten(std::int64_t rows) = 0;
};

// Writes every remaining row of rows as delimited UTF-8 text to the target file: an
// optional title line (the field names joined by the delimiter, never quoted), then one
// line per row; every line ends with CR LF; no byte-order mark. The text goes to a
// temporary file beside the target that replaces it only when complete, so a failed
// export leaves any previous file as it was and no partial one.
// Returns the number of rows written. Raises ExportError for file errors (with the
// input/output error text); errors of the row source (db::DbError) pass through as they are.
std::int64_t writeDelimitedFile(db::RowSource& rows, const DelimitedOptions& options,
                                const db::UserFormats& formats, ExportProgress* progress = nullptr);

// The same onto an open device (tests, pipes). Raises ExportError when a write fails.
std::int64_t writeDelimited(db::RowSource& rows, QIODevice& out, const QString& delimiter,
                            bool withHeader, const db::UserFormats& formats,
                            ExportProgress* progress = nullptr);

// Quoting of one rendered value (UTF-8) for the given delimiter: a value holding the
// delimiter anywhere, a carriage return or a line feed, or starting with a double quote is
// enclosed in double quotes with its own quotes doubled; any other value is written as is.
bool needsEnclosing(std::string_view value, std::string_view delimiter);
void appendDelimitedValue(std::string& out, std::string_view value, std::string_view delimiter);

} // namespace vnk::exporting
