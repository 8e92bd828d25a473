#pragma once

#include <QStringList>
#include <QWidget>

#include <string>
#include <vector>

namespace Ui {
class ErrorPopUp;
}

// The list of the latest error-log records, opened from the error screen's log reference.
class ErrorPopUp : public QWidget
{
    Q_OBJECT

public:
    explicit ErrorPopUp(QWidget *parent = nullptr);
    ~ErrorPopUp() override;

    // Error-log record lines, newest first, one table row each.
    void setErrors(const std::vector<std::string> &lines);
    // The list is laid over the main window, whose status bar (the version line) stays
    // visible along the bottom edge: the Back button is kept this many pixels above it.
    void keepClearOfBottom(int heightPx);

signals:
    void backPressed();

private:
    Ui::ErrorPopUp *ui;
    int baseBottomMargin = 0; // the form's own, below the Back button
    const QStringList columnTitles = {"Time", "Last menu", "Code", "Error", "Software", "Run ID"};
    const QString titleStyle
            = "color: rgb(255, 255, 255); font-size: 28pt; background-color:rgba(0,0,0,0);";
    const QString tableStyle = "color: rgb(255,255,255); font-size: 14pt;";
};
