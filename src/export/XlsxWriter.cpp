#include "XlsxWriter.h"

#include "ExportErrors.h"
#include "SpreadsheetIo.h"
#include "XlsxArchiveCheck.h"

#include <QFile>
#include <cerrno>
#include <locale.h>
#include <xlsxwriter.h>

namespace vnk::exporting {

namespace {

// Owner of a workbook that has not been closed: freeing it writes nothing.
struct FreeWorkbook {
    void operator()(lxw_workbook* wb) const noexcept { lxw_workbook_free(wb); }
};
using Workbook = std::unique_ptr<lxw_workbook, FreeWorkbook>;

[[noreturn]] void raise(lxw_error err) {
    switch (err) {
    case LXW_ERROR_CREATING_XLSX_FILE:
    case LXW_ERROR_CREATING_TMPFILE:
    case LXW_ERROR_READING_TMPFILE:
    case LXW_ERROR_ZIP_FILE_OPERATION:
    case LXW_ERROR_ZIP_FILE_ADD:
    case LXW_ERROR_ZIP_CLOSE:
        // The system's reason (disk full, access) says more than the library's text.
        if (errno != 0)
            throw ExportError(fileErrorText(errno));
        break;
    default: break;
    }
    throw ExportError(QString::fromUtf8(lxw_strerror(err)));
}

void check(lxw_error err) {
    if (err != LXW_NO_ERROR)
        raise(err);
}

// errno left by a failed write of the library's own: it writes its temporary files with
// stdio and does not look at the result, so a full disk shows only here (these numbers
// come from nothing but writes).
bool isWriteFailure(int e) {
    return e == ENOSPC || e == EDQUOT || e == EFBIG || e == EIO;
}

// The library writes every number of the workbook (cell values, column widths, margins)
// with printf, which follows the calling thread's LC_NUMERIC. Under a user's locale
// (QCoreApplication sets it) a decimal comma would make a file no reader accepts, and the
// writer cannot count on its caller having set numbers back to "C". This is the calling
// thread's locale with its numeric part "C", the rest kept.
class CNumericLocale {
public:
    CNumericLocale() {
        const locale_t current = ::duplocale(::uselocale(locale_t(nullptr)));
        if (current)
            locale_ = ::newlocale(LC_NUMERIC_MASK, "C", current);  // takes over current
        if (!locale_) {
            if (current)
                ::freelocale(current);
            raise(LXW_ERROR_MEMORY_MALLOC_FAILED);
        }
    }
    ~CNumericLocale() { ::freelocale(locale_); }
    CNumericLocale(const CNumericLocale&) = delete;
    CNumericLocale& operator=(const CNumericLocale&) = delete;
    locale_t get() const { return locale_; }

private:
    locale_t locale_ = nullptr;
};

// The calling thread under that locale while in scope, then back under its own, however
// the scope is left. Only the thread changes: other threads and the process keep theirs,
// and so does the caller between two calls into the library (its rows are read and its
// texts made under the user's locale, as for every other format).
class CNumericScope {
public:
    explicit CNumericScope(const CNumericLocale& c) : previous_(::uselocale(c.get())) {}
    ~CNumericScope() { ::uselocale(previous_); }
    CNumericScope(const CNumericScope&) = delete;
    CNumericScope& operator=(const CNumericScope&) = delete;

private:
    locale_t previous_;
};

class XlsxSheetWriter final : public SheetWriter {
public:
    explicit XlsxSheetWriter(const QString& target) : staged_(target) {
        const CNumericScope numbers(cNumeric_);
        // The library's temporary files (the sheet's rows, then each part of the package)
        // go beside the output: on the disk that must hold the result anyway, not in a
        // temporary folder that may be a small memory file system. It removes each one
        // as soon as it is created.
        tmpdir_ = QFile::encodeName(staged_.folder());
        lxw_workbook_options options{};
        options.constant_memory = LXW_TRUE;
        options.tmpdir = tmpdir_.data();
        // ZIP64 only when a part passes 4 GB (decided at the end): some readers of
        // workbooks are strict about it.
        options.use_zip64 = LXW_FALSE;
        const QByteArray path = QFile::encodeName(staged_.path());
        errno = 0;
        wb_.reset(workbook_new_opt(path.constData(), &options));
        if (!wb_)
            throw ExportError(errno != 0 ? fileErrorText(errno)
                                         : QString::fromUtf8(lxw_strerror(LXW_ERROR_MEMORY_MALLOC_FAILED)));
    }

    void begin(const SheetLayout& layout) override {
        const CNumericScope numbers(cNumeric_);
        const QByteArray name = layout.sheetName.toUtf8();
        check(workbook_validate_sheet_name(wb_.get(), name.constData()));
        errno = 0;
        ws_ = workbook_add_worksheet(wb_.get(), name.constData());
        if (!ws_) {
            // Its temporary file could not be made, or memory ran out.
            const int e = errno;
            if (e != 0 && e != ENOMEM)
                throw ExportError(fileErrorText(e));
            raise(LXW_ERROR_MEMORY_MALLOC_FAILED);
        }

        title_ = workbook_add_format(wb_.get());
        format_set_bold(title_);
        const auto numberFormat = [this](const QString& code) {
            lxw_format* f = workbook_add_format(wb_.get());
            format_set_num_format(f, code.toUtf8().constData());
            return f;
        };
        formats_.assign(layout.columns.size(), nullptr);
        lxw_format* text = nullptr;
        lxw_format* date = nullptr;
        lxw_format* time = nullptr;
        lxw_format* dateTime = nullptr;
        for (std::size_t i = 0; i < layout.columns.size(); ++i) {
            const ColumnFormat cf = layout.columns[i].format;
            lxw_format** slot = nullptr;
            switch (cf) {
            case ColumnFormat::General: continue;
            case ColumnFormat::Text: slot = &text; break;
            case ColumnFormat::Date: slot = &date; break;
            case ColumnFormat::Time: slot = &time; break;
            case ColumnFormat::DateTime: slot = &dateTime; break;
            }
            if (!*slot)
                *slot = numberFormat(layout.formatCode(cf));
            formats_[i] = *slot;
        }

        if (layout.withTitles) {
            bool titleRow = false;
            worksheet_freeze_panes(ws_, 1, 0);
            worksheet_set_selection(ws_, 1, 0, 1, 0);
            for (std::size_t i = 0; i < layout.columns.size(); ++i) {
                const QByteArray t = layout.columns[i].title.toUtf8();
                std::string fitted;
                const std::string_view raw(t.constData(), static_cast<std::size_t>(t.size()));
                const std::string_view v = fitCellText(raw, fitted) ? std::string_view(fitted) : raw;
                if (v.empty())
                    continue;
                scratch_.assign(v);
                errno = 0;
                check(worksheet_write_string(ws_, 0, static_cast<lxw_col_t>(i), scratch_.c_str(), title_));
                checkWrites();
                ++written_.cells;
                titleRow = true;
            }
            if (titleRow)
                ++written_.rows;
        }
    }

    void writeRow(std::int64_t row, const std::vector<Cell>& cells) override {
        const CNumericScope numbers(cNumeric_);
        const auto r = static_cast<lxw_row_t>(row);
        xmlBytes_ += kRowXml + kCellXml * static_cast<std::int64_t>(cells.size());
        const std::int64_t cellsBefore = written_.cells;
        errno = 0;
        for (std::size_t i = 0; i < cells.size(); ++i) {
            const Cell& c = cells[i];
            const auto col = static_cast<lxw_col_t>(i);
            lxw_format* f = formats_[i];
            switch (c.type) {
            case Cell::Empty:
                if (f) {
                    check(worksheet_write_blank(ws_, r, col, f));
                    ++written_.cells;
                }
                break;
            case Cell::Number:
            case Cell::DateTime:
                check(worksheet_write_number(ws_, r, col, c.number, f));
                ++written_.cells;
                break;
            case Cell::Boolean:
                check(worksheet_write_boolean(ws_, r, col, c.boolean ? 1 : 0, f));
                ++written_.cells;
                break;
            case Cell::Text:
                // The library takes C strings; an empty one is a blank cell, left out
                // when it has no format.
                scratch_.assign(c.text);
                xmlBytes_ += 2 * static_cast<std::int64_t>(c.text.size());  // room for escapes
                check(worksheet_write_string(ws_, r, col, scratch_.c_str(), f));
                if (!c.text.empty() || f)
                    ++written_.cells;
                break;
            }
        }
        // The library writes out the previous row when a new one begins.
        checkWrites();
        if (written_.cells != cellsBefore)
            ++written_.rows;
    }

    void finish(const std::vector<double>& widths) override {
        const CNumericScope numbers(cNumeric_);
        for (std::size_t i = 0; i < widths.size(); ++i)
            check(worksheet_set_column(ws_, static_cast<lxw_col_t>(i), static_cast<lxw_col_t>(i),
                                       widths[i], nullptr));
        // The library reads this option when it assembles the workbook, so it can still
        // be switched on for a sheet that turned out too large for plain zip.
        if (xmlBytes_ > kZip64Threshold)
            wb_->options.use_zip64 = LXW_TRUE;
        errno = 0;
        const lxw_error err = workbook_close(wb_.release());  // frees the workbook too
        if (err != LXW_NO_ERROR)
            raise(err);
        checkWrites();
        // What the library could not report shows in the file itself.
        if (!xlsxArchiveIsWhole(staged_.path(), written_))
            throw ExportError(fileErrorText(EIO));
        staged_.commit();
    }

private:
    // Stops at the first write the library let fail (errno cleared before its calls).
    static void checkWrites() {
        const int e = errno;
        if (isWriteFailure(e))
            throw ExportError(fileErrorText(e));
    }

    StagedPath staged_;
    CNumericLocale cNumeric_;  // every call into the library runs under it
    QByteArray tmpdir_;
    Workbook wb_;
    lxw_worksheet* ws_ = nullptr;
    lxw_format* title_ = nullptr;
    std::vector<lxw_format*> formats_;
    std::string scratch_;
    std::int64_t xmlBytes_ = 0;  // a generous estimate of the sheet's XML
    XlsxSheetCounts written_;    // rows and cells handed to the library

    static constexpr std::int64_t kRowXml = 48;   // <row r="1048576" spans="1:16384">...
    static constexpr std::int64_t kCellXml = 56;  // <c r="XFD1048576" s="12" t="inlineStr">...
    static constexpr std::int64_t kZip64Threshold = std::int64_t(7) << 29;  // 3.5 GiB
};

}  // namespace

std::unique_ptr<SheetWriter> makeXlsxWriter(const QString& target) {
    return std::make_unique<XlsxSheetWriter>(target);
}

}  // namespace vnk::exporting
