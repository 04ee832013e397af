#include "TQueryExport.h"

#include "LoadQueryFile.h"
#include "Prompter.h"
#include "TAbout.h"
#include "TDevGuideline.h"
#include "app/load/QueryFileLoad.h"
#include "db/DataModule.h"
#include "db/ui/Connecting.h"
#include "db/ui/TIBSelectDb.h"
#include "params/ui/TParameterAssistant.h"
#include "share/AppState.h"
#include "share/Error.h"
#include "share/ErrorReport.h"
#include "share/Settings.h"
#include "share/Text.h"
#include "share/Version.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QResizeEvent>
#include <QScreen>
#include <QShowEvent>
#include <QSplitter>
#include <QStatusBar>
#include <QStyle>
#include <QTableView>
#include <QTextEdit>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace vnk::ui {

namespace {

TQueryExport* g_main = nullptr;

const QString kNoName = QStringLiteral("<NoName>....");
const QString kCollapsed = QStringLiteral(">");
const QString kExpanded = QStringLiteral("<");
const QString kShowSchema = QStringLiteral("Show the schema panel");
const QString kHideSchema = QStringLiteral("Hide the schema panel");
const QString kShowSql = QStringLiteral("Show Executed SQL");
const QString kHideSql = QStringLiteral("Hide Executed SQL");

constexpr int kExecutedSqlHeight = 128;
constexpr int kSplitterHandle = 4;
constexpr int kNoIcon = -1;

QString optionText(const char* name) {
    return ReadSetting(key::Options, QString::fromLatin1(name));
}

void writeOption(const char* name, const QString& value) {
    WriteSetting(key::Options, QString::fromLatin1(name), value);
}

void writeOption(const char* name, int value) {
    writeOption(name, QString::number(value));
}

// The stored number when the text is numeric, else the fallback.
int numberOr(const QString& text, int fallback) {
    return IsNumericText(text) ? NumericTextValue(text) : fallback;
}

// A caption for a menu entry that shows a path: "&" in the path is no shortcut.
QString menuCaption(const QString& text) {
    QString out = text;
    return out.replace(u'&', QStringLiteral("&&"));
}

QSplitter* makeSplitter(Qt::Orientation orientation, QWidget* parent, const char* name) {
    auto* s = new QSplitter(orientation, parent);
    s->setObjectName(QString::fromLatin1(name));
    s->setHandleWidth(kSplitterHandle);
    s->setChildrenCollapsible(false);
    return s;
}

QTreeWidget* makeNameList(const QString& title, const char* name, QWidget* parent) {
    auto* list = new QTreeWidget(parent);
    list->setObjectName(QString::fromLatin1(name));
    list->setAccessibleName(title);
    list->setColumnCount(1);
    list->setHeaderLabels({title});
    list->setRootIsDecorated(false);
    list->setUniformRowHeights(true);
    list->setAllColumnsShowFocus(true);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setSelectionBehavior(QAbstractItemView::SelectRows);
    list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list->header()->setStretchLastSection(true);
    return list;
}

// Sets the first pane of a two-pane splitter to `first`, the rest to the other pane.
void setFirstPane(QSplitter* s, int first) {
    const QList<int> sizes = s->sizes();
    int total = 0;
    for (int v : sizes)
        total += v;
    s->setSizes({first, qMax(0, total - first)});
}

}  // namespace

TQueryExport* mainWindow() {
    return g_main;
}

TQueryExport::TQueryExport(const QStringList& args, QWidget* parent)
    : QMainWindow(parent), args_(args) {
    g_main = this;
    setObjectName(QStringLiteral("frmQueryExport"));
    buildLayout();
    FormCreate();
    dlgSelectDb_ = new TIBSelectDb(this);
    dlgGuideline_ = new TDevGuideline(this);
    dlgAbout_ = new TAbout(this);
    createExportCommands();  // export
    installParameterDialogs(*this);  // "Query Parameters" and "Insert Parameter"
}

TQueryExport::~TQueryExport() {
    if (g_main == this)
        g_main = nullptr;
    FormDestroy();
    db::dm1().ADOQry1.removeResultDropListener(resultListener_);
}

// ---------------------------------------------------------------------------------
// Layout

void TQueryExport::buildLayout() {
    setWindowTitle(QStringLiteral("Varnock"));
    setFont(QFont(QStringLiteral("MS Sans Serif"), 8));
    QPalette pal = palette();
    pal.setColor(QPalette::Window, QColor(230, 230, 230));
    setPalette(pal);

    buildMainBar();

    auto* central = new QWidget(this);
    auto* box = new QVBoxLayout(central);
    box->setContentsMargins(0, 0, 0, 0);
    box->setSpacing(0);
    splitterMain_ = makeSplitter(Qt::Vertical, central, "SplitterMain");
    box->addWidget(splitterMain_);
    setCentralWidget(central);

    buildUpperArea();
    splitterMain_->addWidget(panelDev_);
    splitterMain_->addWidget(buildLowerArea());
    // The upper area keeps its height; the result area takes what the window gains.
    splitterMain_->setStretchFactor(0, 0);
    splitterMain_->setStretchFactor(1, 1);

    buildStatusBar();
}

QToolButton* TQueryExport::addCommand(QToolBar* bar, const char* name, const QString& caption,
                                      const QString& hint, int iconKind) {
    auto* b = new QToolButton(bar);
    b->setObjectName(QString::fromLatin1(name));
    b->setText(caption);  // "&" gives the Alt shortcut
    if (!hint.isEmpty())
        b->setToolTip(hint);
    b->setAutoRaise(true);
    b->setFocusPolicy(Qt::TabFocus);
    if (iconKind != kNoIcon) {
        b->setIcon(style()->standardIcon(static_cast<QStyle::StandardPixmap>(iconKind)));
        b->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    } else {
        b->setToolButtonStyle(Qt::ToolButtonTextOnly);
    }
    bar->addWidget(b);
    return b;
}

void TQueryExport::buildMainBar() {
    mainBar_ = new QToolBar(this);
    mainBar_->setObjectName(QStringLiteral("ToolBarMain"));
    mainBar_->setMovable(false);
    mainBar_->setFloatable(false);
    mainBar_->toggleViewAction()->setEnabled(false);
    setContextMenuPolicy(Qt::NoContextMenu);
    addToolBar(Qt::TopToolBarArea, mainBar_);

    tbHidePanel1_ = addCommand(mainBar_, "tbHidePanel1", kExpanded, kHideSchema, kNoIcon);
    mainBar_->addSeparator();
    tbNew_ = addCommand(mainBar_, "tbNew", QStringLiteral("&New"),
                        QStringLiteral("New Query (Alt+N)"), QStyle::SP_FileIcon);
    tbOpen_ = addCommand(mainBar_, "tbOpen", QStringLiteral("&Open"),
                         QStringLiteral("Open Query (Alt+O)"), QStyle::SP_DialogOpenButton);
    tbSave_ = addCommand(mainBar_, "tbSave", QStringLiteral("&Save"),
                         QStringLiteral("Save Query (Alt+S)"), QStyle::SP_DialogSaveButton);
    tbSaveAs_ = addCommand(mainBar_, "tbSaveAs", QStringLiteral("Save &As"),
                           QStringLiteral("Save Query As (Alt+A)"), QStyle::SP_DriveFDIcon);
    mainBar_->addSeparator();
    tbDBConnection_ = addCommand(mainBar_, "tbDBConnection", QStringLiteral("&Database Connection"),
                                 QStringLiteral("Choose or Create Database Connection (Alt+D)"),
                                 QStyle::SP_DriveNetIcon);
    mainBar_->addSeparator();
    tbGuideline_ = addCommand(mainBar_, "tbGuideline", QStringLiteral("&Guideline"),
                              QStringLiteral("Simple User Guideline (Alt+G)"),
                              QStyle::SP_DialogHelpButton);
    tbAbout_ = addCommand(mainBar_, "tbAbout", QStringLiteral("A&bout..."),
                          QStringLiteral("About Varnock (Alt+B)"), QStyle::SP_MessageBoxInformation);
    mainBar_->addSeparator();
    tbExit_ = addCommand(mainBar_, "tbExit", QStringLiteral("E&xit"), QStringLiteral("Exit (Alt+X)"),
                         QStyle::SP_DialogCloseButton);

    // Open's drop-down: one item leading to the recent-files menu.
    mOpen_ = new QMenu(this);
    mOpen_->setObjectName(QStringLiteral("mOpen"));
    mRecent_ = new QMenu(QStringLiteral("&Recent Files"), mOpen_);
    mRecent_->setObjectName(QStringLiteral("mRecent"));
    mOpen_->addMenu(mRecent_);
    for (int k = 0; k < 10; ++k) {
        smFile_[k] = mRecent_->addAction(QString());
        smFile_[k]->setObjectName(QStringLiteral("smFile%1").arg(k));
        smFile_[k]->setVisible(false);
    }
    mRecent_->addSeparator();
    smClearRecent_ = mRecent_->addAction(QStringLiteral("Clear Recent"));
    smClearRecent_->setObjectName(QStringLiteral("smClearRecent"));
    smClearRecent_->setEnabled(false);
    tbOpen_->setMenu(mOpen_);
    tbOpen_->setPopupMode(QToolButton::MenuButtonPopup);

    connect(tbHidePanel1_, &QToolButton::clicked, this, &TQueryExport::tbHidePanel1Click);
    connect(tbDBConnection_, &QToolButton::clicked, this, [this] {
        if (dlgSelectDb_)
            dlgSelectDb_->exec();
    });
    connect(tbExit_, &QToolButton::clicked, this, &QWidget::close);
    connect(smClearRecent_, &QAction::triggered, this, &TQueryExport::smClearRecentClick);
    connect(tbNew_, &QToolButton::clicked, this, [this] { runCommand([this] { tbNewClick(); }); });
    connect(tbOpen_, &QToolButton::clicked, this, [this] { runCommand([this] { fnOpenToFile(); }); });
    connect(tbSave_, &QToolButton::clicked, this, [this] {
        runCommand([this] { fnSaveToFile(appState().CurrentFileName); });
    });
    connect(tbSaveAs_, &QToolButton::clicked, this,
            [this] { runCommand([this] { fnSaveToFile(QString()); }); });
    for (int k = 0; k < 10; ++k)
        connect(smFile_[k], &QAction::triggered, this,
                [this, k] { runCommand([this, k] { smFileClick(k); }); });
    connect(tbGuideline_, &QToolButton::clicked, this, &TQueryExport::tbGuidelineClick);
    connect(tbAbout_, &QToolButton::clicked, this, &TQueryExport::tbAboutClick);
}

void TQueryExport::buildUpperArea() {
    panelDev_ = new QWidget;
    panelDev_->setObjectName(QStringLiteral("PanelDev"));
    auto* devBox = new QHBoxLayout(panelDev_);
    devBox->setContentsMargins(0, 0, 0, 0);
    devBox->setSpacing(0);
    splitterDev_ = makeSplitter(Qt::Horizontal, panelDev_, "SplitterDev");
    devBox->addWidget(splitterDev_);

    // Schema panel: the drop-down on top, the two name lists below with their splitter.
    panel1_ = new QWidget;
    panel1_->setObjectName(QStringLiteral("Panel1"));
    panel1_->setMinimumWidth(1);  // collapses to one pixel, never disappears
    auto* p1Box = new QVBoxLayout(panel1_);
    p1Box->setContentsMargins(0, 0, 0, 0);
    p1Box->setSpacing(2);
    auto* schemaLine = new QHBoxLayout;
    schemaLine->setContentsMargins(2, 2, 2, 0);
    auto* schemaLabel = new QLabel(QStringLiteral("Schema:"), panel1_);
    cbSchema_ = new QComboBox(panel1_);
    cbSchema_->setObjectName(QStringLiteral("cbSchema"));
    cbSchema_->setAccessibleName(QStringLiteral("Schema"));
    cbSchema_->setEditable(false);
    cbSchema_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    cbSchema_->setMinimumContentsLength(4);
    schemaLabel->setBuddy(cbSchema_);
    schemaLine->addWidget(schemaLabel);
    schemaLine->addWidget(cbSchema_, 1);
    p1Box->addLayout(schemaLine);

    splitterSchema_ = makeSplitter(Qt::Vertical, panel1_, "SplitterSchema");
    lvTables_ = makeNameList(QStringLiteral("Table Name"), "lvTables", splitterSchema_);
    lvFields_ = makeNameList(QStringLiteral("Field Name"), "lvFields", splitterSchema_);
    splitterSchema_->addWidget(lvTables_);
    splitterSchema_->addWidget(lvFields_);
    splitterSchema_->setStretchFactor(0, 0);
    splitterSchema_->setStretchFactor(1, 1);
    p1Box->addWidget(splitterSchema_, 1);

    memoQuery_ = new QPlainTextEdit;
    memoQuery_->setObjectName(QStringLiteral("memoQuery"));
    memoQuery_->setAccessibleName(QStringLiteral("SQL"));
    memoQuery_->setLineWrapMode(QPlainTextEdit::NoWrap);
    memoQuery_->setTabChangesFocus(false);  // tab characters are typed into the statement
    memoQuery_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    memoQuery_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    memoQuery_->setFont(QFont(QStringLiteral("Courier New"), 9));
    QPalette editPal = memoQuery_->palette();
    editPal.setColor(QPalette::Base, Qt::white);
    editPal.setColor(QPalette::Text, Qt::black);
    memoQuery_->setPalette(editPal);
    connect(memoQuery_, &QPlainTextEdit::textChanged, this, &TQueryExport::memoQueryChange);

    splitterDev_->addWidget(panel1_);
    splitterDev_->addWidget(memoQuery_);
    splitterDev_->setStretchFactor(0, 0);
    splitterDev_->setStretchFactor(1, 1);
    panel1_->installEventFilter(this);
}

QWidget* TQueryExport::buildLowerArea() {
    auto* lower = new QWidget;
    lower->setObjectName(QStringLiteral("PanelResult"));
    auto* box = new QVBoxLayout(lower);
    box->setContentsMargins(0, 0, 0, 0);
    box->setSpacing(0);

    runBar_ = new QToolBar(lower);
    runBar_->setObjectName(QStringLiteral("ToolBarRun"));
    runBar_->setMovable(false);
    runBar_->setFloatable(false);
    tbHideExecSql_ = addCommand(runBar_, "tbHideExecSql", kCollapsed, kShowSql, kNoIcon);
    runBar_->addSeparator();
    tbExecToScreen_ = addCommand(runBar_, "tbExecToScreen", QStringLiteral("&Execute"),
                                 QStringLiteral("Execute Query (Alt+E)"), QStyle::SP_MediaPlay);
    tbExecToFile_ = addCommand(runBar_, "tbExecToFile", QStringLiteral("Execute to &File"),
                               QStringLiteral("Execute Query to File (Alt+F)"),
                               QStyle::SP_FileDialogContentsView);
    tbSaveResultToFile_ = addCommand(runBar_, "tbSaveResultToFile", QStringLiteral("Save &Result to File"),
                                     QStringLiteral("Save Result to Delimited or Excel File (Alt+R)"),
                                     QStyle::SP_DialogSaveButton);
    runBar_->addSeparator();
    tbInsertParameter_ = addCommand(runBar_, "tbInsertParameter", QStringLiteral("Insert Parameter"),
                                    QString(), QStyle::SP_FileDialogInfoView);
    box->addWidget(runBar_);
    connect(tbHideExecSql_, &QToolButton::clicked, this, &TQueryExport::tbHideExecSqlClick);
    connect(tbExecToScreen_, &QToolButton::clicked, this, &TQueryExport::tbExecToScreenClick);
    connect(tbExecToFile_, &QToolButton::clicked, this, &TQueryExport::tbExecToFileClick);

    panelExecuteSql_ = new QWidget(lower);
    panelExecuteSql_->setObjectName(QStringLiteral("PanelExecuteSql"));
    panelExecuteSql_->setFixedHeight(kExecutedSqlHeight);
    auto* sqlBox = new QVBoxLayout(panelExecuteSql_);
    sqlBox->setContentsMargins(0, 0, 0, 0);
    richEditTemp_ = new QTextEdit(panelExecuteSql_);
    richEditTemp_->setObjectName(QStringLiteral("RichEditTemp"));
    richEditTemp_->setAccessibleName(QStringLiteral("Executed SQL"));
    richEditTemp_->setAcceptRichText(false);
    richEditTemp_->setLineWrapMode(QTextEdit::NoWrap);
    richEditTemp_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    richEditTemp_->setFont(QFont(QStringLiteral("Arial"), 9));
    QPalette sqlPal = richEditTemp_->palette();
    sqlPal.setColor(QPalette::Base, Qt::white);
    sqlPal.setColor(QPalette::Text, Qt::black);
    richEditTemp_->setPalette(sqlPal);
    sqlBox->addWidget(richEditTemp_);
    box->addWidget(panelExecuteSql_);
    panelExecuteSql_->setVisible(false);

    // Row-counter line: "Result:" on the left, the catalog label on the right.
    auto* resultLine = new QHBoxLayout;
    resultLine->setContentsMargins(4, 2, 4, 2);
    auto* resultLabel = new QLabel(QStringLiteral("Result:"), lower);
    resultLabel->setObjectName(QStringLiteral("lblResult"));
    labelCount_ = new QLabel(lower);
    labelCount_->setObjectName(QStringLiteral("labelCount"));
    labelCount_->setTextFormat(Qt::PlainText);
    labelCount_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    QPalette navy = labelCount_->palette();
    navy.setColor(QPalette::WindowText, QColor(0, 0, 128));
    labelCount_->setPalette(navy);
    resultLine->addWidget(resultLabel);
    resultLine->addStretch(1);
    resultLine->addWidget(labelCount_);
    box->addLayout(resultLine);

    dbgResult_ = new TResultGrid(lower);  // dbgResult
    // The grid shows the one query's rows: it lets go of them before the query drops them.
    resultListener_ = db::dm1().ADOQry1.addResultDropListener([this] { dbgResult_->clear(); });
    connect(dbgResult_, &TResultGrid::rowCounterChanged, this,
            [this](const QString& text) { setStatusText(1, text); });
    box->addWidget(dbgResult_, 1);

    lblConnString_ = new QLabel(lower);
    lblConnString_->setObjectName(QStringLiteral("lblConnString"));
    lblConnString_->setTextFormat(Qt::PlainText);
    lblConnString_->setWordWrap(true);
    lblConnString_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    lblConnString_->setContentsMargins(4, 1, 4, 1);
    lblConnString_->setFixedHeight(2 * lblConnString_->fontMetrics().lineSpacing() + 2);
    lblConnString_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    box->addWidget(lblConnString_);
    return lower;
}

void TQueryExport::buildStatusBar() {
    QStatusBar* bar = statusBar();
    bar->setObjectName(QStringLiteral("StatusBar"));
    bar->setSizeGripEnabled(true);
    // Design widths, widened where the panel's own texts would not fit this font.
    static const int kWidths[5] = {160, 120, 75, 160, 50};
    static const char* const kSamples[5] = {"Executing query. Please wait...", "Line 99999, Col 9999",
                                            "00:00:00.000", "Query executed successfully", ""};
    for (int i = 0; i < 5; ++i) {
        auto* label = new QLabel(bar);
        label->setObjectName(QStringLiteral("StatusPanel%1").arg(i + 1));
        label->setTextFormat(Qt::PlainText);
        label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        label->setContentsMargins(2, 0, 2, 0);
        const int textWidth =
            label->fontMetrics().horizontalAdvance(QString::fromLatin1(kSamples[i])) + 12;
        const int width = qMax(kWidths[i], textWidth);
        if (i < 4) {
            label->setFixedWidth(width);
            bar->addWidget(label, 0);
        } else {
            // The document path: takes the rest and never widens the window.
            label->setMinimumWidth(width);
            label->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
            bar->addWidget(label, 1);
        }
        statusPanels_[i] = label;
    }
}

// ---------------------------------------------------------------------------------
// Creation, first show, closing

void TQueryExport::FormCreate() {
    AppState& st = appState();
    st.VersionText = GetVersionText();
    st.CurrentFileName = kNoName;
    st.RegistryKeyName = QStringLiteral("Varnock Dozidizur");
    st.IsModified = false;
    st.SavedText = memoQuery_->toPlainText();

    placeWindow();

    wantedTableHeight_ = ReadIntSetting(opt::TableHeight);
    wantedUpperHeight_ = ReadIntSetting(opt::PDevHeight);
    const int p1 = ReadIntSetting(opt::P1Width);
    st.SchemaPanelWidth = p1;
    setTableListHeight(wantedTableHeight_);
    setUpperAreaHeight(wantedUpperHeight_);
    if (p1 < 2) {
        setSchemaPanelWidth(1);
        tbHidePanel1_->setText(kCollapsed);
        tbHidePanel1_->setToolTip(kShowSchema);
    } else {
        setSchemaPanelWidth(p1);
        tbHidePanel1_->setText(kExpanded);
        tbHidePanel1_->setToolTip(kHideSchema);
    }

    // A window closed while minimised comes back normal.
    const QString state = optionText(opt::WinState);
    if (IsNumericText(state))
        setWindowState(NumericTextValue(state) == 2 ? Qt::WindowMaximized : Qt::WindowNoState);

    showExecutedSqlPanel(optionText(opt::ShowSql) == QStringLiteral("1"));
    readEditorFont();
}

// Window rectangle from the settings. A first start (no position stored at all) centres
// the window on the screen; once a position has been stored it wins, and a stored value
// that is no number falls back to its default.
void TQueryExport::placeWindow() {
    const QString topText = optionText(opt::WinTop.name);
    const QString leftText = optionText(opt::WinLeft.name);
    const int top = numberOr(topText, opt::WinTop.fallback);
    const int left = numberOr(leftText, opt::WinLeft.fallback);
    const int height = ReadIntSetting(opt::WinHeight);
    const int width = ReadIntSetting(opt::WinWidth);
    QRect rect(left, top, width, height);
    if (topText.isEmpty() && leftText.isEmpty()) {
        if (QScreen* screen = QGuiApplication::primaryScreen()) {
            const QRect avail = screen->availableGeometry();
            rect = QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, rect.size(), avail);
            rect.moveTop(qMax(rect.top(), avail.top()));
            rect.moveLeft(qMax(rect.left(), avail.left()));
        }
    }
    setGeometry(rect);
}

void TQueryExport::readEditorFont() {
    AppState& st = appState();
    const QFont design = memoQuery_->font();
    const QString name = optionText(opt::QueryFontName);
    const int color = numberOr(optionText(opt::QueryFontColor.name), 0);
    int size = numberOr(optionText(opt::QueryFontSize.name), design.pointSize());
    if (size <= 0)
        size = design.pointSize();  // no font has a size of nothing
    const int charSet = numberOr(optionText(opt::QueryFontCharSet.name), 0);
    const int styleBits = numberOr(optionText(opt::QueryFontStyle.name), 0) & 0xFF;

    st.QueryFontName = name;
    st.QueryFontColor = color;
    st.QueryFontSize = size;
    st.QueryFontCharSet = charSet;  // kept for the settings; no meaning here
    st.QueryFontStyle = styleBits;

    QFont f = design;
    if (!name.isEmpty())
        f.setFamily(name.left(31));
    f.setPointSize(size);
    f.setBold(styleBits & 1);
    f.setItalic(styleBits & 2);
    f.setUnderline(styleBits & 4);
    f.setStrikeOut(styleBits & 8);
    memoQuery_->setFont(f);
    QPalette pal = memoQuery_->palette();
    // Colour values keep red in the low byte.
    pal.setColor(QPalette::Text, QColor(color & 0xFF, (color >> 8) & 0xFF, (color >> 16) & 0xFF));
    memoQuery_->setPalette(pal);
}

void TQueryExport::showEvent(QShowEvent* e) {
    QMainWindow::showEvent(e);
    if (e->spontaneous() || formShown_)
        return;
    // The splitters know their extent now: give the panels their exact sizes.
    applyPendingSizes();
    FormShow();
}

void TQueryExport::FormShow() {
    if (formShown_)
        return;
    formShown_ = true;
    AppState& st = appState();
    // main() builds no window for the unattended run.
    st.IsBatchRun = false;
    lblConnString_->hide();
    st.WorkFolder = QDir::currentPath();
    st.QueryPath = optionText(opt::QueryPath);
    st.ReportPath = optionText(opt::ReportPath);

    if (!args_.isEmpty()) {
        if (args_.size() == 1) {
            // One argument: a query file to open. A bad one leaves the window empty.
            const QString path = TrimText(args_.first());
            const QString error = app::checkQueryFileArgument(path);
            // The recent-files menu works in this run too; it is saved at close as well.
            loadRecentFiles();
            if (!error.isEmpty()) {
                ReportError(error);
            } else {
                runCommand([this, &path] { (void)LoadQueryFile(*this, path); });
            }
        }
        return;
    }
    loadRecentFiles();
    ReconnectLast(*this);
}

void TQueryExport::loadRecentFiles() {
    AppState& st = appState();
    st.RecentFiles.clear();
    smClearRecent_->setEnabled(false);
    for (int i = 0; i < 10; ++i) {
        const QString name = ReadSetting(key::MRU, QStringLiteral("File%1").arg(i));
        if (!name.isEmpty() && QFileInfo(name).isFile() && !st.RecentFiles.contains(name))
            st.RecentFiles << name;
    }
    showRecentFiles();
}

void TQueryExport::showRecentFiles() {
    const QStringList& files = appState().RecentFiles;
    for (int k = 0; k < 10; ++k) {
        if (k < files.size()) {
            smFile_[k]->setText(menuCaption(files.at(k)));
            smFile_[k]->setVisible(true);
        } else {
            smFile_[k]->setVisible(false);
        }
    }
    smClearRecent_->setEnabled(!files.isEmpty());
}

void TQueryExport::smClearRecentClick() {
    appState().RecentFiles.clear();
    smClearRecent_->setEnabled(false);
    for (QAction* a : smFile_) {
        a->setVisible(false);
        a->setText(QString());
    }
}

void TQueryExport::closeEvent(QCloseEvent* e) {
    bool close = false;
    try {
        close = FormCloseQuery();
    } catch (const std::exception&) {
        ReportError(errorText());
    }
    if (!close) {
        e->ignore();
        return;
    }
    try {
        FormClose();
    } catch (const std::exception&) {
        // The settings could not be written: say so, but never keep the user from leaving.
        ReportError(errorText());
    }
    e->accept();
    Q_EMIT formClosed();
}

bool TQueryExport::FormCloseQuery() {
    return changePrompt();
}

void TQueryExport::FormClose() {
    // Interactive runs keep the recent-files list; a batch run leaves it alone.
    if (args_.size() >= 2)
        return;
    const QStringList& files = appState().RecentFiles;
    for (int i = 0; i < 10; ++i)
        WriteSetting(key::MRU, QStringLiteral("File%1").arg(i), i < files.size() ? files.at(i) : QString());
}

void TQueryExport::FormDestroy() {
    if (destroyed_)
        return;
    destroyed_ = true;
    try {
        db::Connection& conn = db::dm1().ADOConn1;
        if (conn.isOpen())
            conn.close();
    } catch (const std::exception&) {
        ReportError(errorText());
    }
    try {
        writeLayoutSettings();
    } catch (const std::exception&) {
        ReportError(errorText());
    }
}

void TQueryExport::writeLayoutSettings() {
    const QRect normal = normalGeometry();
    writeOption(opt::WinTop.name, normal.top());
    writeOption(opt::WinLeft.name, normal.left());
    writeOption(opt::WinHeight.name, normal.height());
    writeOption(opt::WinWidth.name, normal.width());
    // A window never laid out writes back what it read.
    const int tableHeight = sizesApplied_ ? lvTables_->height() : wantedTableHeight_;
    const int upperHeight = sizesApplied_ ? panelDev_->height() : wantedUpperHeight_;
    int p1 = sizesApplied_ ? panel1_->width() : wantedSchemaWidth_;
    if (p1 < 2)
        p1 = appState().SchemaPanelWidth;
    writeOption(opt::TableHeight.name, tableHeight);
    writeOption(opt::PDevHeight.name, upperHeight);
    writeOption(opt::P1Width.name, p1);
    writeOption(opt::ShowSql, tbHideExecSql_->text() == kExpanded ? QStringLiteral("1")
                                                                  : QStringLiteral("0"));
    const Qt::WindowStates state = windowState();
    const int stateNumber = state & Qt::WindowMinimized ? 1 : state & Qt::WindowMaximized ? 2 : 0;
    writeOption(opt::WinState, stateNumber);
}

// ---------------------------------------------------------------------------------
// Panels

void TQueryExport::setSchemaPanelWidth(int width) {
    wantedSchemaWidth_ = width;
    if (sizesApplied_)
        setFirstPane(splitterDev_, width);
}

void TQueryExport::setTableListHeight(int height) {
    wantedTableHeight_ = height;
    if (sizesApplied_)
        setFirstPane(splitterSchema_, height);
}

void TQueryExport::setUpperAreaHeight(int height) {
    wantedUpperHeight_ = height;
    if (sizesApplied_)
        setFirstPane(splitterMain_, height);
}

void TQueryExport::applyPendingSizes() {
    if (sizesApplied_)
        return;
    setFirstPane(splitterDev_, wantedSchemaWidth_);
    setFirstPane(splitterMain_, wantedUpperHeight_);
    setFirstPane(splitterSchema_, wantedTableHeight_);
    sizesApplied_ = true;
    Panel1Resize();
}

void TQueryExport::showExecutedSqlPanel(bool shown) {
    panelExecuteSql_->setVisible(shown);
    tbHideExecSql_->setText(shown ? kExpanded : kCollapsed);
    tbHideExecSql_->setToolTip(shown ? kHideSql : kShowSql);
}

void TQueryExport::tbHideExecSqlClick() {
    showExecutedSqlPanel(tbHideExecSql_->text() != kExpanded);
}

void TQueryExport::tbHidePanel1Click() {
    AppState& st = appState();
    if (tbHidePanel1_->text() == kExpanded) {
        st.SchemaPanelWidth = sizesApplied_ ? panel1_->width() : wantedSchemaWidth_;
        setSchemaPanelWidth(1);
        tbHidePanel1_->setText(kCollapsed);
        tbHidePanel1_->setToolTip(kShowSchema);
    } else {
        // A remembered width that is itself collapsed would keep the panel shut for good.
        const int width = st.SchemaPanelWidth < 2 ? opt::P1Width.fallback : st.SchemaPanelWidth;
        setSchemaPanelWidth(width);
        tbHidePanel1_->setText(kExpanded);
        tbHidePanel1_->setToolTip(kHideSchema);
    }
}

void TQueryExport::Panel1Resize() {
    if (!sizesApplied_)
        return;  // transient sizes of the first layout say nothing
    const int width = panel1_->width();
    if (width < 2) {
        if (width != 1)
            setFirstPane(splitterDev_, 1);
        tbHidePanel1_->setText(kCollapsed);
        tbHidePanel1_->setToolTip(kShowSchema);
    } else {
        appState().SchemaPanelWidth = width;
        wantedSchemaWidth_ = width;
        tbHidePanel1_->setText(kExpanded);
        tbHidePanel1_->setToolTip(kHideSchema);
    }
}

bool TQueryExport::eventFilter(QObject* watched, QEvent* e) {
    if (watched == panel1_ && e->type() == QEvent::Resize) {
        const auto* r = static_cast<QResizeEvent*>(e);
        if (r->size().width() != r->oldSize().width())
            Panel1Resize();
    }
    return QMainWindow::eventFilter(watched, e);
}

// ---------------------------------------------------------------------------------
// Shared with the other parts of the program

void TQueryExport::memoQueryChange() {
    AppState& st = appState();
    st.IsModified = memoQuery_->toPlainText() != st.SavedText;
}

void TQueryExport::updateTitle(bool dropExtension) {
    const AppState& st = appState();
    QString d = st.CurrentFileName;
    const qsizetype slash = d.lastIndexOf(u'/');
    if (slash >= 0)
        d = d.mid(slash + 1);
    if (dropExtension)
        d = d.size() > 4 ? d.left(d.size() - 4) : QString();
    setWindowTitle(QStringLiteral("Varnock -  [") + st.ConnName + QStringLiteral("] - ") +
                   QStringLiteral(" [") + d + QStringLiteral("]"));
}

void TQueryExport::setConnStringLabel(const QString& text) {
    lblConnString_->setText(text);
}

void TQueryExport::setStatusText(int panel, const QString& text) {
    if (panel >= 1 && panel <= 5)
        statusPanels_[panel - 1]->setText(text);
}

QString TQueryExport::statusText(int panel) const {
    if (panel >= 1 && panel <= 5)
        return statusPanels_[panel - 1]->text();
    return {};
}

void TQueryExport::clearSchemaLists() {
    cbSchema_->clear();
    lvTables_->clear();
    lvFields_->clear();
}

void TQueryExport::LoadSchemaList() {
    // Filled from the open connection by the schema browser; until then only cleared.
    labelCount_->clear();
    clearSchemaLists();
}

}  // namespace vnk::ui
