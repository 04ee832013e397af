// The last check of an xlsx before it replaces the user's file, on archives made by an
// independent zip writer (Python's zipfile): whole ones pass, every kind of damage a
// failed temporary file or a cut archive leaves is caught.
#include "export/XlsxArchiveCheck.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace vnk::exporting;

namespace {

// Writes one archive per case into the folder given: name, then how it is made.
const char* const kMakeArchives = R"PY(
import os, sys, zipfile
out = sys.argv[1]
types = ('<?xml version="1.0" encoding="UTF-8" standalone="yes"?>\n'
         '<Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types">'
         '<Default Extension="xml" ContentType="application/xml"/></Types>\n')
rels = ('<?xml version="1.0" encoding="UTF-8" standalone="yes"?>\n'
        '<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships"/>\n')
rows = ['<row r="1" spans="1:2"><c r="A1" t="inlineStr"><is><t>Id &lt;c </t></is></c>'
        '<c r="B1" t="inlineStr"><is><t>&lt;row name</t></is></c></row>',
        '<row r="2" spans="1:2"><c r="A2"><v>1</v></c><c r="B2" s="1"/></row>',
        '<row r="3" spans="1:2"><c r="A3"><v>2</v></c></row>']
def sheet(rs):
    return ('<?xml version="1.0" encoding="UTF-8" standalone="yes"?>\n'
            '<worksheet xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main">'
            '<cols><col min="1" max="2" width="9"/></cols><sheetData>' + ''.join(rs) +
            '</sheetData></worksheet>\n')
whole = sheet(rows)
def make(name, members, method=zipfile.ZIP_DEFLATED, zip64=False):
    path = os.path.join(out, name)
    with zipfile.ZipFile(path, 'w', method) as z:
        for n, data in members:
            with z.open(n, 'w', force_zip64=zip64) as f:
                f.write(data.encode())
    return path
parts = lambda s, t=types: [('[Content_Types].xml', t), ('_rels/.rels', rels),
                            ('xl/worksheets/sheet1.xml', s)]
make('whole.xlsx', parts(whole))
make('stored.xlsx', parts(whole), zipfile.ZIP_STORED)
make('zip64.xlsx', parts(whole), zip64=True)
make('empty-content-types.xlsx', parts(whole, ''))
make('empty-sheet.xlsx', parts(''))
make('cut-sheet.xlsx', parts(whole[:len(whole) // 2]))
make('cut-relationships.xlsx', [('[Content_Types].xml', types), ('_rels/.rels', rels[:70]),
                                ('xl/worksheets/sheet1.xml', whole)])
make('lost-row.xlsx', parts(sheet([rows[0], rows[2]])))
# A piece lost in the middle of a text, taking the next cell's start with it: still
# well-formed.
make('lost-cell.xlsx', parts(whole.replace('Id &lt;c </t></is></c><c r="B1" t="inlineStr"><is><t>', 'Id ')))
make('no-sheet.xlsx', parts(whole)[:2])
data = open(os.path.join(out, 'whole.xlsx'), 'rb').read()
open(os.path.join(out, 'cut-archive.xlsx'), 'wb').write(data[:-60])
at = data.index(b'xl/worksheets/sheet1.xml') + 40
open(os.path.join(out, 'flipped-byte.xlsx'), 'wb').write(data[:at] + bytes([data[at] ^ 0x55]) + data[at + 1:])
open(os.path.join(out, 'not-a-zip.xlsx'), 'wb').write(b'previous good file\n')
)PY";

}  // namespace

TEST(XlsxArchiveCheck, WholeArchivesPassAndEveryDamageIsCaught) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QProcess p;
    p.start(QStringLiteral("python3"), {QStringLiteral("-c"), QString::fromUtf8(kMakeArchives), dir.path()});
    ASSERT_TRUE(p.waitForFinished(60000));
    ASSERT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();

    // Three rows, five cells; the texts hold "<c " and "<row " escaped.
    const XlsxSheetCounts counts{3, 5};
    struct Case {
        const char* file;
        XlsxSheetCounts expected;
        bool whole;
    };
    const Case cases[] = {
        {"whole.xlsx", counts, true},
        {"stored.xlsx", counts, true},
        {"zip64.xlsx", counts, true},
        {"whole.xlsx", {3, 4}, false},
        {"whole.xlsx", {2, 5}, false},
        {"empty-content-types.xlsx", counts, false},
        {"empty-sheet.xlsx", counts, false},
        {"cut-sheet.xlsx", counts, false},
        {"cut-relationships.xlsx", counts, false},
        {"lost-row.xlsx", counts, false},
        {"lost-cell.xlsx", counts, false},
        {"no-sheet.xlsx", counts, false},
        {"cut-archive.xlsx", counts, false},
        {"flipped-byte.xlsx", counts, false},
        {"not-a-zip.xlsx", counts, false},
        {"missing.xlsx", counts, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        EXPECT_EQ(xlsxArchiveIsWhole(dir.filePath(QString::fromUtf8(c.file)), c.expected), c.whole);
    }
}
