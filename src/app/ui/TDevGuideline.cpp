#include "TDevGuideline.h"

#include <QDialogButtonBox>
#include <QPushButton>
#include <QTextBrowser>
#include <QVBoxLayout>

namespace vnk::ui {

namespace {

// Kept in one piece so it reads as the user sees it.
const char* const kGuideline = R"html(
<h2>Varnock user guideline</h2>

<h3>Running a statement</h3>
<p><b>Execute</b> runs the selected text. Without a selection it runs the block of lines
around the caret: the lines up to the nearest blank line above and below. One document can
therefore hold several statements separated by blank lines. The statement exactly as it was
sent, parameter values filled in, is shown in the <b>Executed SQL</b> panel.</p>

<h3>Parameters</h3>
<p>A parameter is a token written into the statement:</p>
<pre>    ?Type_Name?</pre>
<ul>
<li>a question mark, a type word, an underscore, a name and a closing question mark:
<code>select * from Invoice where Total &gt; ?NUM_"Minimum total"?</code></li>
<li>The type word may be written in any letter case: <code>?str_x?</code>,
<code>?Str_x?</code> and <code>?STR_x?</code> are all the type Str.</li>
<li>The name may be empty: <code>?Str_?</code> shows an input without a caption.</li>
<li>The token ends at the first question mark after the opening one, so a name can never
hold a question mark.</li>
<li>A question mark that has no underscore anywhere after it is no parameter and stays as it
is: <code>where a = ? or b = ?</code>.</li>
<li>Tokens are looked for in the whole statement, inside quotes and comments too. A
question mark in a string literal that is followed somewhere later by an underscore opens a
token and usually gives <i>Invalid parameter type</i>. Keep question marks out of literals
in statements that have parameters.</li>
<li>An unknown type word stops the run with the message
<code>Invalid parameter type "Foo".</code>; nothing is executed.</li>
<li>When the statement runs, the <b>Query Parameters</b> window shows one row for every
different token. A token written several times is asked once and every place receives the
value. Tokens that differ only in letter case (<code>?Str_x?</code> and
<code>?STR_x?</code>) get a row each, but the value of the first row fills both.</li>
<li>A statement holds at most 300 different parameters.</li>
</ul>

<h3>The 25 types</h3>
<p>Plain types, entered in an edit or a picker:</p>
<table border="1" cellspacing="0" cellpadding="3">
<tr><th>Type</th><th>Entered with</th><th>Written into the statement</th></tr>
<tr><td>NUM</td><td>one-line edit; must be a number</td><td>as typed, blanks at the ends removed, no quotes: <code>42</code></td></tr>
<tr><td>NList</td><td>several lines, one number each</td><td><code>(1,2,3)</code>; blank lines are skipped; <code>()</code> when empty</td></tr>
<tr><td>Str</td><td>one-line edit</td><td>in single quotes, quotes doubled: <code>'O''Brien'</code>; empty: <code>''</code></td></tr>
<tr><td>Pwd</td><td>one-line edit showing * for each character</td><td>as Str</td></tr>
<tr><td>SList</td><td>several lines, one text each</td><td><code>('a','','b')</code>, blank lines kept; <code>('')</code> when empty</td></tr>
<tr><td>Text</td><td>multi-line edit</td><td>one quoted text with its line breaks</td></tr>
<tr><td>Date</td><td>date picker</td><td><code>'2015-08-21'</code></td></tr>
<tr><td>Time</td><td>time picker</td><td><code>'13:05:09'</code></td></tr>
<tr><td>DT</td><td>date and time pickers</td><td><code>'2015-08-21 13:05:09'</code></td></tr>
</table>

<p>Pick types, chosen from a list. Their names are built from three pieces:</p>
<ul>
<li><b>N</b> a number written without quotes, <b>S</b> a text written in single quotes,
<b>V</b> written verbatim, for any piece of SQL such as a column list;</li>
<li><b>Sql</b> the items are the first column of the rows of a select statement,
<b>Fix</b> the items are written in the token;</li>
<li><b>R</b> pick one item, <b>W</b> pick one item or type another value, <b>C</b> tick
any number of items.</li>
</ul>
<p>NSqlPickR, NSqlPickW, NSqlPickC, NFixPickR, NFixPickW, NFixPickC, SSqlPickR, SSqlPickW,
SSqlPickC, SFixPickR, SFixPickW, SFixPickC, VSqlPickR, VSqlPickC, VFixPickR, VFixPickC. The
V types have no W form.</p>
<table border="1" cellspacing="0" cellpadding="3">
<tr><th>Kind</th><th>R and W</th><th>C (values in the order they were ticked)</th><th>C, nothing ticked</th></tr>
<tr><td>N</td><td><code>7</code></td><td><code>(7,9)</code></td><td><code>()</code></td></tr>
<tr><td>S</td><td><code>'OQ'</code></td><td><code>('OQ','PR')</code></td><td><code>()</code></td></tr>
<tr><td>V</td><td><code>Name</code></td><td><code>Name,Total</code> (write any brackets around the token yourself)</td><td>nothing</td></tr>
</table>
<p>NUM, NList and the N pick types are checked when you press OK: every value must be a
number.</p>

<h3>Name parts</h3>
<p>The name is made of up to three parts separated by <code>|</code>:</p>
<ol>
<li>the caption of the row (the field);</li>
<li>the operator shown after the caption (may be left empty);</li>
<li>pick types only: the list source, in braces.</li>
</ol>
<p>Plain types take no name, a caption, or a caption and an operator. Pick types always take
all three parts; an empty operator is written <code>||</code>.</p>
<ul>
<li>Blanks separate parts as well, so a part holding a blank goes in double quotes:
<code>?NUM_"Budget Year"?</code> has the caption Budget Year, while
<code>?NUM_Budget Year?</code> is the two parts Budget and Year. A double quote inside a
quoted part is written twice: <code>"a""b"</code> is <code>a"b</code>. Blanks around a part
are ignored.</li>
<li>A caption or operator in braces is written into the statement in front of the value.
With one value it is fixed; with two or more the row offers them in a drop-down list and the
chosen one is written. Inside the braces values are separated by commas or blanks; single
quotes keep a value with blanks together. For example
<pre>    where ?Str_"{'AccountNo'}"|"{'=', '&lt;&gt;', 'like'}"?</pre>
with <i>like</i> chosen and <i>abc</i> entered runs <code>where AccountNo like 'abc'</code>.</li>
<li>Too many or too few parts are refused with <i>Too many parameters. Please check ...</i>
or <i>Not enough parameters. Please check ...</i>; a pick type whose third part is not in
braces with <i>Invalid parameter. Please check ...</i>.</li>
</ul>

<h3>Pick lists</h3>
<ul>
<li>Fix: the items are written in the braces of part 3, separated by commas or blanks, with
single quotes around an item that holds a blank or a comma.
<code>{OQ, PR, PO}</code> gives three items, <code>{Open PO, Completed PO}</code> four, and
<code>{'Open PO', 'Completed PO'}</code> two:
<pre>    ?SFixPickC_Status||"{'Open PO', 'Completed PO'}"?</pre></li>
<li>Sql: the braces of part 3 hold a select statement; the first column of its rows gives the
items. The select statement runs on the current connection when the parameters are asked:
<pre>    ?SSqlPickR_"Account No:"||"{select AccountNo from Mtn_Account}"?</pre>
A part 3 with blanks must be in double quotes, or its words become parts of their own.</li>
</ul>

<h3>Query files</h3>
<p>Saved as <b>.vnk</b>, a statement keeps the connection it belongs to: opening the file
connects again. <b>.sql</b> and <b>.txt</b> files hold the statement only. The
<b>Open</b> button's arrow leads to the ten most recent files.</p>

<h3>Command line</h3>
<table border="1" cellspacing="0" cellpadding="3">
<tr><td><code>varnock</code></td><td>opens the window and reconnects the last connection</td></tr>
<tr><td><code>varnock query.vnk</code></td><td>opens the window with the query file loaded and connected</td></tr>
<tr><td><code>varnock query.vnk output kind format titles</code></td><td>runs the query file unattended, without a window, and writes the result to the output file</td></tr>
</table>
<p>The five arguments of an unattended run:</p>
<ol>
<li>the query file; it must exist and end in .vnk;</li>
<li>the output file; its folder is created when it is missing;</li>
<li><code>D</code> for a delimited text file, <code>X</code> for a spreadsheet file;</li>
<li>with D the delimiter (<code>TAB</code> for a tab character, or any text such as
<code>,</code> or <code>;</code>); with X the format <code>XLSX</code>, <code>XLS</code>,
<code>HTML</code>, <code>CSV</code> or <code>XML</code>;</li>
<li><code>1</code> with column titles, <code>0</code> without.</li>
</ol>
<p>Letter case does not matter in the kind, in the format and in TAB. The whole statement of the query file
runs; a statement with parameters is refused, since nobody is there to enter the values.
Errors are written to the system log under the name Varnock (or, when the environment
variable VARNOCK_EVENT_LOG names a file, to that file, one entry per line), and the program
then ends with exit code 1; a run without errors ends with 0. For example, from cron:</p>
<pre>    varnock /home/me/sales.vnk /home/me/out/sales.txt D TAB 1
    varnock /home/me/sales.vnk /home/me/out/sales.xlsx X xlsx 1
    varnock /home/me/sales.vnk /home/me/out/sales.csv D ";" 0</pre>
<p>Quote arguments that hold blanks, and a semicolon delimiter, as the shell requires.
Connection files are looked for in the ConFiles folder of the folder the program is started
from.</p>
)html";

}  // namespace

TDevGuideline::TDevGuideline(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmDevGuideline"));
    setWindowTitle(QStringLiteral("Varnock - User Guideline"));
    setModal(true);
    resize(720, 600);

    auto* box = new QVBoxLayout(this);
    memoGuideline_ = new QTextBrowser(this);
    memoGuideline_->setObjectName(QStringLiteral("memoGuideline"));
    memoGuideline_->setAccessibleName(QStringLiteral("Guideline"));
    memoGuideline_->setReadOnly(true);
    memoGuideline_->setOpenLinks(false);
    memoGuideline_->setHtml(guidelineText());
    box->addWidget(memoGuideline_, 1);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    buttons->button(QDialogButtonBox::Close)->setObjectName(QStringLiteral("bnClose"));
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    box->addWidget(buttons);
}

QString TDevGuideline::guidelineText() {
    return QString::fromUtf8(kGuideline);
}

}  // namespace vnk::ui
