#include "TAbout.h"

#include "share/AppState.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

namespace vnk::ui {

TAbout::TAbout(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(QStringLiteral("About Varnock"));
    setModal(true);

    auto* box = new QVBoxLayout(this);
    auto* line = new QHBoxLayout;
    auto* icon = new QLabel(this);
    icon->setObjectName(QStringLiteral("imgIcon"));
    const int side = style()->pixelMetric(QStyle::PM_MessageBoxIconSize, nullptr, this);
    icon->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxInformation).pixmap(side, side));
    icon->setAlignment(Qt::AlignTop);
    line->addWidget(icon);

    auto* texts = new QVBoxLayout;
    lblProduct_ = new QLabel(this);
    lblProduct_->setObjectName(QStringLiteral("lblProduct"));
    lblProduct_->setTextFormat(Qt::PlainText);
    QFont bold = lblProduct_->font();
    bold.setBold(true);
    lblProduct_->setFont(bold);
    auto* lblPurpose = new QLabel(
        QStringLiteral("Runs SQL with typed parameters against SQLite and ODBC databases,\n"
                       "and exports the results to delimited text and spreadsheet files."),
        this);
    lblPurpose->setObjectName(QStringLiteral("lblPurpose"));
    lblPurpose->setTextFormat(Qt::PlainText);
    texts->addWidget(lblProduct_);
    texts->addSpacing(6);
    texts->addWidget(lblPurpose);
    texts->addStretch(1);
    line->addLayout(texts, 1);
    box->addLayout(line);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("bnOk"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    box->addWidget(buttons);
    box->setSizeConstraint(QLayout::SetFixedSize);
    lblProduct_->setText(productText());
}

QString TAbout::productText() {
    return QStringLiteral("Varnock - Dozidizur Module ") + appState().VersionText;
}

void TAbout::showModal() {
    lblProduct_->setText(productText());
    exec();
}

}  // namespace vnk::ui
