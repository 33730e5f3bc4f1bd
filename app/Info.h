#pragma once
// The help window: the operating instructions, from Calverdon.rtf in the
// working directory when that file can be loaded, else built in.

#include <QDialog>
#include <QStringList>

class QTextEdit;

namespace calverdon::gui {

class TBitBtn;

// The help text installed with the program, beside its folder of
// programs: share/calverdon/Calverdon.rtf of the same prefix.
QString InstalledHelpFile();

class TFormINFO : public QDialog {
    Q_OBJECT
public:
    // `installedHelp` is read when the working directory has no help file
    // that can be loaded; empty for none.
    explicit TFormINFO(QWidget* owner = nullptr, const QString& installedHelp = InstalledHelpFile());

    QTextEdit* RichEdit1 = nullptr;
    TBitBtn* BitBtn1 = nullptr;

    void FormResize(QObject* Sender);

    // The instructions shown when no help file can be loaded, one line each.
    static QStringList BuiltInLines();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void LoadHelpFile(const QString& installedHelp);

    // The room around RichEdit1 as created, kept when the window is resized.
    int MarginWidth = 0;
    int MarginHeight = 0;
};

}  // namespace calverdon::gui
