#pragma once

#include <QDialog>

class QTextBrowser;

namespace vnk::ui {

// "&Guideline": a read-only help text on the parameter language and the command line,
// shown modally.
class TDevGuideline : public QDialog {
    Q_OBJECT
public:
    explicit TDevGuideline(QWidget* parent = nullptr);

    // The help text (HTML).
    static QString guidelineText();

    QTextBrowser* textView() const { return memoGuideline_; }

private:
    QTextBrowser* memoGuideline_ = nullptr;
};

}  // namespace vnk::ui
