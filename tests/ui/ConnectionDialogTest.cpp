#include "ConnectFixture.h"
#include "db/ConnectionFile.h"
#include "db/ui/TConnectionString.h"
#include "db/ui/TDataLinkProperties.h"
#include "db/ui/TIBSelectDb.h"
#include "db/ui/TLoginDialog.h"
#include "share/ErrorReport.h"

#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSignalSpy>
#include <QStyle>
#include <QTest>
#include <optional>

using namespace vnk;
using vnk::ui::Answer;

namespace {

constexpr QFile::Permissions kGroupOrOther = QFile::ReadGroup | QFile::WriteGroup |
                                             QFile::ExeGroup | QFile::ReadOther |
                                             QFile::WriteOther | QFile::ExeOther;

QStringList listed(const ui::TIBSelectDb& d) {
    QStringList out;
    for (int i = 0; i < d.fileList()->count(); ++i)
        out << d.fileList()->item(i)->text();
    return out;
}

QString selectedName(const ui::TIBSelectDb& d) {
    const auto s = d.fileList()->selectedItems();
    return s.isEmpty() ? QString() : s.first()->text();
}

}  // namespace

class ConnectionDialog : public test::ConnectFixture {
protected:
    // No main window: the dialog's own behaviour only.
    std::unique_ptr<ui::TIBSelectDb> dialog;
    QStringList reported;

    void SetUp() override {
        test::ConnectFixture::SetUp();
        dialog = std::make_unique<ui::TIBSelectDb>(nullptr);
        setInteractiveErrorSink([this](const QString& m) { reported << m; });
    }
    void TearDown() override {
        setInteractiveErrorSink(nullptr);
        dialog.reset();
        test::ConnectFixture::TearDown();
    }
    void addEdit(const QString& name) {
        dialog->nameBox()->setText(name);
        dialog->bnAddEditClick();
    }
};

TEST_F(ConnectionDialog, LayoutAndButtons) {
    EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Database Connection"));
    EXPECT_GE(dialog->width(), 410);
    EXPECT_GE(dialog->height(), 350);
    EXPECT_EQ(dialog->minimumSize(), dialog->maximumSize());
    auto* connect = dialog->findChild<QPushButton*>(QStringLiteral("bnConnect"));
    ASSERT_NE(connect, nullptr);
    EXPECT_TRUE(connect->isDefault());
    for (const char* name : {"bnAddEdit", "bnDelete", "bnRefresh", "bnClose"}) {
        auto* b = dialog->findChild<QPushButton*>(QString::fromLatin1(name));
        ASSERT_NE(b, nullptr) << name;
        EXPECT_FALSE(b->isDefault()) << name;
    }
    EXPECT_EQ(dialog->fileList()->selectionMode(), QAbstractItemView::SingleSelection);
}

TEST_F(ConnectionDialog, RefreshListsConnectionFilesAndSelectsByPrefix) {
    for (const char* name : {"Sample.udl", "sales.txt", "Zeta.TXT", "alpha.UDL", "notes.md",
                             ".hidden.txt", "Sales.txt.bak"})
        writeConFile(QString::fromLatin1(name), "x");
    QDir(conFiles()).mkdir(QStringLiteral("folder.txt"));

    const struct {
        const char* typed;
        const char* selected;
    } cases[] = {{"sa", "sales.txt"}, {"  SAM ", "Sample.udl"}, {"zz", ""}, {"", ""},
                 {"alpha.udl", "alpha.UDL"}};
    for (const auto& c : cases) {
        dialog->nameBox()->setText(QString::fromLatin1(c.typed));
        dialog->fnRefresh();
        EXPECT_EQ(listed(*dialog), (QStringList{QStringLiteral("alpha.UDL"),
                                                QStringLiteral("sales.txt"),
                                                QStringLiteral("Sample.udl"),
                                                QStringLiteral("Zeta.TXT")}));
        EXPECT_EQ(selectedName(*dialog), QString::fromLatin1(c.selected)) << c.typed;
        // Refreshing never rewrites what was typed.
        EXPECT_EQ(dialog->nameBox()->text(), QString::fromLatin1(c.typed));
    }
}

TEST_F(ConnectionDialog, RefreshCreatesTheFolderOrSaysItCannot) {
    QDir(conFiles()).removeRecursively();
    dialog->fnRefresh();
    EXPECT_TRUE(QFileInfo(conFiles()).isDir());

    // A work folder that is a file: the folder cannot be made.
    const QString blocker = work.path() + QStringLiteral("/file");
    writeFile(blocker, "x");
    appState().WorkFolder = blocker;
    try {
        dialog->fnRefresh();
        ADD_FAILURE() << "no error";
    } catch (const std::exception& e) {
        EXPECT_EQ(QString::fromUtf8(e.what()),
                  QStringLiteral("Cannot create ") + blocker + QStringLiteral("/ConFiles/"));
    }
    // Shown through the error report when the dialog is shown.
    dialog->show();
    QCoreApplication::processEvents();
    dialog->hide();
    EXPECT_EQ(reported, QStringList{QStringLiteral("Cannot create ") + blocker +
                                    QStringLiteral("/ConFiles/")});
}

TEST_F(ConnectionDialog, AddEditWithoutNameOnlyAsks) {
    addEdit(QStringLiteral("   "));
    EXPECT_EQ(prompts.messages(), QStringList{QStringLiteral("Please enter a connection name")});
    EXPECT_TRUE(QDir(conFiles()).isEmpty());
}

TEST_F(ConnectionDialog, AddEditAsksUdlOrTxtForANameWithoutKind) {
    const QString question = QStringLiteral(
        "Click \"Yes\" if you wish to create a UDL file using Data Link Properties dialog box.\n"
        "Click \"No\" if you wish to create your connection string into a TXT file.");
    EXPECT_EQ(ui::TIBSelectDb::udlOrTxtQuestion(), question);

    // Yes: an empty, owner-only .udl file, edited in the data-link dialog.
    prompts.confirmAnswers.push_back(Answer::Yes);
    bool dataLinkShown = false;
    test::onModal<ui::TDataLinkProperties>([&](ui::TDataLinkProperties* d) {
        dataLinkShown = true;
        d->reject();
    });
    addEdit(QStringLiteral("Sales"));
    ASSERT_EQ(prompts.asked.size(), 1u);
    EXPECT_EQ(prompts.asked[0].kind, QStringLiteral("confirm"));
    EXPECT_EQ(prompts.asked[0].text, question);
    EXPECT_EQ(prompts.asked[0].extra, QStringLiteral("Confirm"));
    EXPECT_TRUE(dataLinkShown);
    const QFileInfo udl(conFiles() + QStringLiteral("Sales.udl"));
    ASSERT_TRUE(udl.isFile());
    EXPECT_EQ(udl.size(), 0);
    EXPECT_EQ(udl.permissions() & kGroupOrOther, QFile::Permissions());
    EXPECT_EQ(listed(*dialog), QStringList{QStringLiteral("Sales.udl")});

    // No, and a closed question (anything but Yes): a .txt file in the string dialog.
    for (const Answer a : {Answer::No, Answer::Cancel}) {
        const QString name = a == Answer::No ? QStringLiteral("Orders") : QStringLiteral("Closed");
        const QString path = conFiles() + name + QStringLiteral(".txt");
        prompts.confirmAnswers.push_back(a);
        QString caption, shownText = QStringLiteral("<not shown>");
        test::onModal<ui::TConnectionString>([&](ui::TConnectionString* d) {
            caption = d->windowTitle();
            shownText = d->edit()->text();
            d->reject();
        });
        addEdit(name);
        EXPECT_EQ(caption, path);
        EXPECT_EQ(shownText, QString());
        EXPECT_TRUE(QFileInfo(path).isFile());
        EXPECT_EQ(QFileInfo(path).size(), 0);  // Cancel leaves the created file empty
    }
    EXPECT_EQ(listed(*dialog), (QStringList{QStringLiteral("Closed.txt"),
                                            QStringLiteral("Orders.txt"),
                                            QStringLiteral("Sales.udl")}));
}

TEST_F(ConnectionDialog, AddEditOpensAnExistingTxtFileWithoutAsking) {
    writeConFile(QStringLiteral("Sales.TXT"), "Provider=SQLite;Data Source=a.db\r\nsecond\r\n");
    QString shownText;
    test::onModal<ui::TConnectionString>([&](ui::TConnectionString* d) {
        shownText = d->edit()->text();
        d->reject();
    });
    addEdit(QStringLiteral("Sales.TXT"));
    EXPECT_EQ(prompts.count(QStringLiteral("confirm")), 0);
    EXPECT_EQ(shownText, QStringLiteral("Provider=SQLite;Data Source=a.db"));
    // Cancel wrote nothing.
    EXPECT_EQ(readBytes(conFiles() + QStringLiteral("Sales.TXT")),
              QByteArray("Provider=SQLite;Data Source=a.db\r\nsecond\r\n"));
}

// A name typed in another letter case than an existing file's edits that file, whether it
// was typed with its kind or given one by the UDL/TXT question; only an exact match wins
// over it, and a name that matches nothing still creates a new file.
TEST_F(ConnectionDialog, AddEditUsesAnExistingFileWhoseNameDiffersOnlyInCase) {
    writeConFile(QStringLiteral("Sales.txt"), "Provider=SQLite;Data Source=sales.db\r\n");
    writeConFile(QStringLiteral("Exact.txt"), "lower\r\n");
    writeConFile(QStringLiteral("EXACT.TXT"), "upper\r\n");
    writeConFile(QStringLiteral("Orders.udl"), "");
    struct Case {
        QString typed;
        std::optional<Answer> question;  // the UDL/TXT answer when the name has no kind
        QString edited;                  // the file whose dialog shows, by name
        QString shown;                   // its first line in the string dialog
    };
    const Case cases[] = {
        {QStringLiteral("Sales.TXT"), std::nullopt, QStringLiteral("Sales.txt"),
         QStringLiteral("Provider=SQLite;Data Source=sales.db")},
        {QStringLiteral("SALES.txt"), std::nullopt, QStringLiteral("Sales.txt"),
         QStringLiteral("Provider=SQLite;Data Source=sales.db")},
        {QStringLiteral("sales"), Answer::No, QStringLiteral("Sales.txt"),
         QStringLiteral("Provider=SQLite;Data Source=sales.db")},
        {QStringLiteral("EXACT.TXT"), std::nullopt, QStringLiteral("EXACT.TXT"),
         QStringLiteral("upper")},
        {QStringLiteral("exact.txt"), std::nullopt, QStringLiteral("EXACT.TXT"),
         QStringLiteral("upper")},
        {QStringLiteral("Fresh.TXT"), std::nullopt, QStringLiteral("Fresh.TXT"), QString()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed.toStdString());
        prompts.asked.clear();
        if (c.question)
            prompts.confirmAnswers.push_back(*c.question);
        QString caption, shownText = QStringLiteral("<not shown>");
        test::onModal<ui::TConnectionString>([&](ui::TConnectionString* d) {
            caption = d->windowTitle();
            shownText = d->edit()->text();
            d->reject();
        });
        addEdit(c.typed);
        EXPECT_TRUE(prompts.messages().isEmpty());
        EXPECT_EQ(caption, conFiles() + c.edited);
        EXPECT_EQ(shownText, c.shown);
    }
    EXPECT_EQ(listed(*dialog),
              (QStringList{QStringLiteral("EXACT.TXT"), QStringLiteral("Exact.txt"),
                           QStringLiteral("Fresh.TXT"), QStringLiteral("Orders.udl"),
                           QStringLiteral("Sales.txt")}));

    // The data-link kind too: ORDERS.UDL opens the existing Orders.udl in its editor.
    bool dataLinkShown = false;
    test::onModal<ui::TDataLinkProperties>([&](ui::TDataLinkProperties* d) {
        dataLinkShown = true;
        d->reject();
    });
    addEdit(QStringLiteral("ORDERS.UDL"));
    EXPECT_TRUE(dataLinkShown);
    EXPECT_FALSE(QFile::exists(conFiles() + QStringLiteral("ORDERS.UDL")));
    EXPECT_EQ(listed(*dialog).size(), 5);
}

TEST_F(ConnectionDialog, AddEditRefusesPathsInTheName) {
    addEdit(QStringLiteral("../outside.txt"));
    ASSERT_EQ(prompts.messages().size(), 1);
    EXPECT_FALSE(QFile::exists(work.path() + QStringLiteral("/outside.txt")));
}

TEST_F(ConnectionDialog, ConnectionStringDialogWritesOneCrLfLine) {
    const QString path = conFiles() + QStringLiteral("Zürich.txt");
    writeFile(path, "old line\r\nmore\r\n");
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther);
    const QString typed = QStringLiteral("Provider=SQLite;Data Source=Zürich data.sqlite;") +
                          QString(400, u'x');

    ui::TConnectionString* d = dialog->connectionStringDialog();
    d->setWindowTitle(path);
    test::onModal<ui::TConnectionString>([&](ui::TConnectionString* shown) {
        EXPECT_EQ(shown->edit()->text(), QStringLiteral("old line"));
        shown->edit()->setText(typed);
        shown->findChild<QPushButton*>(QStringLiteral("bnOk"))->click();
    });
    EXPECT_EQ(d->exec(), QDialog::Accepted);
    EXPECT_EQ(readBytes(path), typed.toUtf8() + "\r\n");
    EXPECT_EQ(QFileInfo(path).permissions() & kGroupOrOther, QFile::Permissions());
    // Connecting reads back exactly the typed string.
    EXPECT_EQ(db::ReadConnectionFile(path), typed);

    // A Windows-1252 file shows decoded; a missing file is created empty.
    writeFile(path, "Data Source=Z\xFCrich\r\n");
    EXPECT_EQ(ui::TConnectionString::readFirstLine(path), QStringLiteral("Data Source=Zürich"));
    const QString fresh = conFiles() + QStringLiteral("New.txt");
    d->setWindowTitle(fresh);
    test::onModal<ui::TConnectionString>([](ui::TConnectionString* shown) { shown->reject(); });
    EXPECT_EQ(d->exec(), QDialog::Rejected);
    EXPECT_TRUE(QFileInfo(fresh).isFile());
    EXPECT_EQ(QFileInfo(fresh).size(), 0);
}

TEST_F(ConnectionDialog, DeleteAsksAndRemovesOnlyOnYes) {
    writeConFile(QStringLiteral("Sales.txt"), "x");
    writeConFile(QStringLiteral("Sample.udl"), "y");

    // Nothing selected: nothing asked.
    dialog->nameBox()->clear();
    dialog->fnRefresh();
    dialog->bnDeleteClick();
    EXPECT_TRUE(prompts.asked.empty());

    dialog->nameBox()->setText(QStringLiteral("sa"));
    dialog->fnRefresh();
    prompts.confirmAnswers.push_back(Answer::No);
    dialog->bnDeleteClick();
    ASSERT_EQ(prompts.asked.size(), 1u);
    EXPECT_EQ(prompts.asked[0].text, QStringLiteral("Confirm to delete Sales.txt?"));
    EXPECT_TRUE(QFile::exists(conFiles() + QStringLiteral("Sales.txt")));
    EXPECT_EQ(listed(*dialog).size(), 2);

    prompts.confirmAnswers.push_back(Answer::Yes);
    dialog->bnDeleteClick();
    EXPECT_FALSE(QFile::exists(conFiles() + QStringLiteral("Sales.txt")));
    EXPECT_EQ(listed(*dialog), QStringList{QStringLiteral("Sample.udl")});
    EXPECT_EQ(dialog->nameBox()->text(), QStringLiteral("sa"));
}

// After a delete no neighbour is picked for the user: Enter (Connect, the default
// button) and a second Delete have nothing to act on, wherever the deleted entry was.
TEST_F(ConnectionDialog, DeleteLeavesNothingSelected) {
    const QStringList names{QStringLiteral("Alpha.txt"), QStringLiteral("Beta.txt"),
                            QStringLiteral("Gamma.udl")};
    for (const QString& deleted : names) {
        SCOPED_TRACE(deleted.toStdString());
        for (const QString& n : names)
            writeConFile(n, "Provider=SQLite;Data Source=x.db\r\n");
        dialog->nameBox()->setText(deleted.left(3));
        dialog->fnRefresh();
        ASSERT_EQ(selectedName(*dialog), deleted);
        prompts.asked.clear();
        prompts.confirmAnswers.push_back(Answer::Yes);
        dialog->bnDeleteClick();
        EXPECT_FALSE(QFile::exists(conFiles() + deleted));
        EXPECT_EQ(listed(*dialog).size(), 2);
        EXPECT_EQ(selectedName(*dialog), QString());
        EXPECT_EQ(dialog->fileList()->currentItem(), nullptr);

        // Connect and Delete now do nothing and ask nothing.
        EXPECT_EQ(dialog->fnDBConnect(), 0);
        dialog->bnDeleteClick();
        EXPECT_EQ(prompts.asked.size(), 1u);
        EXPECT_TRUE(appState().ConnString.isEmpty());
    }
}

TEST_F(ConnectionDialog, DeleteRemovesALinkNotItsTarget) {
    const QString target = work.path() + QStringLiteral("/precious.txt");
    writeFile(target, "keep me");
    ASSERT_TRUE(QFile::link(target, conFiles() + QStringLiteral("Link.txt")));
    dialog->nameBox()->setText(QStringLiteral("Link"));
    dialog->fnRefresh();
    ASSERT_EQ(selectedName(*dialog), QStringLiteral("Link.txt"));
    prompts.confirmAnswers.push_back(Answer::Yes);
    dialog->bnDeleteClick();
    EXPECT_FALSE(QFileInfo(conFiles() + QStringLiteral("Link.txt")).isSymLink());
    EXPECT_EQ(readBytes(target), QByteArray("keep me"));
}

TEST_F(ConnectionDialog, DeleteOfAFileRemovedMeanwhileAsksNothing) {
    writeConFile(QStringLiteral("Sales.txt"), "x");
    dialog->nameBox()->setText(QStringLiteral("Sales"));
    dialog->fnRefresh();
    QFile::remove(conFiles() + QStringLiteral("Sales.txt"));
    dialog->bnDeleteClick();
    EXPECT_TRUE(prompts.asked.empty());
}

TEST_F(ConnectionDialog, ClickTakesTheNameDoubleClickConnects) {
    writeConFile(QStringLiteral("Demo.txt"), makeSqliteDatabase().toUtf8());
    dialog->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog.get()));
    QListWidget* list = dialog->fileList();
    ASSERT_EQ(list->count(), 1);
    const QRect r = list->visualItemRect(list->item(0));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, r.center());
    EXPECT_EQ(dialog->nameBox()->text(), QStringLiteral("Demo.txt"));
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, r.center());
    EXPECT_TRUE(db::dm1().ADOConn1.isOpen());
    EXPECT_EQ(appState().ConnName, QStringLiteral("Demo.txt"));
}

// ---------------------------------------------------------------- login window

TEST(LoginDialog, FieldsLimitsAndFocus) {
    ui::TLoginDialog d(nullptr, QStringLiteral("ADOConn1"), QStringLiteral("varnock"));
    EXPECT_EQ(d.windowTitle(), QStringLiteral("Database Login"));
    EXPECT_EQ(d.findChild<QLabel*>(QStringLiteral("lblDatabase"))->text(), QStringLiteral("ADOConn1"));
    EXPECT_EQ(d.userEdit()->text(), QStringLiteral("varnock"));
    EXPECT_EQ(d.userEdit()->maxLength(), 31);
    EXPECT_EQ(d.passwordEdit()->maxLength(), 31);
    EXPECT_EQ(d.passwordEdit()->echoMode(), QLineEdit::Password);
    EXPECT_EQ(d.passwordEdit()->style()->styleHint(QStyle::SH_LineEdit_PasswordCharacter,
                                                   nullptr, d.passwordEdit()),
              int(u'*'));
    auto* ok = d.findChild<QPushButton*>(QStringLiteral("bnOk"));
    ASSERT_NE(ok, nullptr);
    EXPECT_EQ(ok->text(), QStringLiteral("&OK"));
    EXPECT_TRUE(ok->isDefault());
    EXPECT_EQ(d.findChild<QPushButton*>(QStringLiteral("bnCancel"))->text(), QStringLiteral("Cancel"));

    d.show();
    QApplication::setActiveWindow(&d);
    QCoreApplication::processEvents();
    EXPECT_EQ(QApplication::focusWidget(), d.passwordEdit());
    d.hide();

    ui::TLoginDialog blank(nullptr, QStringLiteral("ADOConn1"), QString());
    blank.show();
    QApplication::setActiveWindow(&blank);
    QCoreApplication::processEvents();
    EXPECT_EQ(QApplication::focusWidget(), blank.userEdit());
}

TEST(LoginDialog, AskReturnsTheAnswerOrNothing) {
    test::onModal<ui::TLoginDialog>([](ui::TLoginDialog* d) {
        d->userEdit()->setText(QStringLiteral("me"));
        QTest::keyClicks(d->passwordEdit(), QString(40, u'p'));
        d->findChild<QPushButton*>(QStringLiteral("bnOk"))->click();
    });
    const auto reply = ui::TLoginDialog::ask(nullptr, QStringLiteral("ADOConn1"), QStringLiteral("x"));
    ASSERT_TRUE(reply.has_value());
    EXPECT_EQ(reply->user, QStringLiteral("me"));
    EXPECT_EQ(reply->password, QString(31, u'p'));

    test::onModal<ui::TLoginDialog>([](ui::TLoginDialog* d) { d->reject(); });
    EXPECT_FALSE(ui::TLoginDialog::ask(nullptr, QStringLiteral("ADOConn1"), QString()).has_value());
}
