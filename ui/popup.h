#pragma once

#include <QWidget>

namespace Ui {
class PopUp;
}

// The one message and question box of the instrument: two lines of text and either "Ok" or
// "Yes" and "No". It only reports the button pressed; the main window knows what was asked.
class PopUp : public QWidget
{
    Q_OBJECT

public:
    explicit PopUp(QWidget *parent = nullptr);
    ~PopUp() override;

    // line 1 or 2; any other line number is ignored.
    void setText(const QString &text, int line);
    void setOkMode();
    void setYesNoMode();
    // "Ok" is withdrawn while logs are being copied, so the copy cannot be walked away from.
    void setOkEnabled(bool enabled);

signals:
    void popUpOkPressed();
    void popUpYesPressed();
    void popUpNoPressed();

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    Ui::PopUp *ui;
};
