#pragma once
// The main window: choice of a source file, the proposed target, the start
// of the conversion in the direction the source decides, progress, and
// the outcome as a coloured dot with a sound.

#include <QStringList>
#include <QWidget>

#include <functional>
#include <memory>

#include "HexText.h"
#include "Services.h"
#include <calverdon/Strings.h>

class QLabel;
class QLineEdit;
class QProgressBar;

namespace calverdon::gui {

class Beeper;
class ProgressBarReceiver;
class TBitBtn;
class TOpenDialog;
class TShape;

// Reads a module's version text and copyright, as GetDLLInfo does.
using VersionReader = std::function<UnicodeString(const UnicodeString& fileName, UnicodeString& copyright)>;

// What the window uses of the world beyond its controls. Empty members
// take the real thing: message boxes over the window, the sound theme,
// GetDLLInfo, and a modal help window.
struct TForm1Seams {
    UserMessages* messages = nullptr;
    Beeper* beeper = nullptr;
    VersionReader versionReader;
    // Encode mode whatever the working directory holds, as the desktop
    // action "Dateien codieren" asks for.
    bool encodeMode = false;
    // The mail composer that "Per E-Mail senden..." starts, with its
    // leading arguments; empty: xdg-email.
    QStringList composer = {};
};

class TForm1 : public QWidget {
    Q_OBJECT
public:
    explicit TForm1(QWidget* owner = nullptr, TForm1Seams seams = {});
    ~TForm1() override;

    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* LabelZIEL = nullptr;
    TOpenDialog* OpenDialog1 = nullptr;
    TBitBtn* BitBtnSTART = nullptr;
    TBitBtn* BitBtn2 = nullptr;
    QProgressBar* ProgressBar1 = nullptr;
    TShape* ShapeRES = nullptr;
    TBitBtn* BitBtnHILF = nullptr;
    TBitBtn* BitBtnQ = nullptr;
    QLabel* LabelQ = nullptr;
    QLineEdit* EditKB = nullptr;
    QLabel* LabelKB = nullptr;
    // Shown after a green encode: the parts go to the mail composer.
    TBitBtn* BitBtnMAIL = nullptr;

    void ButtonQClick(QObject* Sender);
    void BitBtnSTARTClick(QObject* Sender);
    void BitBtn2Click(QObject* Sender);
    void BitBtnHILFClick(QObject* Sender);
    void BitBtnMAILClick(QObject* Sender);

    bool IsDecodeChosen() const { return DecodeChosen; }
    bool IsEncodeMode() const { return EncodeMode; }

    // Files and folders handed to the program, as a drop hands them: a
    // single file is a choice of source, mails, mbox files, folders and
    // several files are searched for chains. Paths that do not exist are
    // told in one message and left out.
    void OpenPaths(const QStringList& paths);

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    // During a run the window stays open; the user is asked whether to
    // stop the run, and a "yes" closes the window once it has stopped.
    void closeEvent(QCloseEvent* event) override;

private:
    void CreateComponents();
    void SetCaptionFromVersion(const VersionReader& reader);
    // Everything a choice of source does once the file is known.
    void SourceChosen(const QString& path);
    // Finds the hex-text chains in dropped mails, mbox files and folders,
    // decodes them and shows the report and the overall outcome.
    void ExtractFromMail(const QStringList& paths);
    // The dot's colour, its words and the sound for a result.
    void ShowResult(ConversionResult result, const QString& words);
    // The target label's tooltip and accessible description; its
    // accessible name goes back to its text.
    void SetTargetDescription(const QString& description);
    // Forgets the target and direction so that nothing runs on a stale choice.
    void ForgetChoice();
    // Runs `work` as a conversion: the user's input held (Escape and the
    // close button excepted), the hourglass shown. False when the user
    // stopped the run, or closed the window as it ended: the window then
    // closes, and nothing more of the run is shown.
    bool RunWork(const std::function<void()>& work);
    bool AskWhetherToStop();

    std::string ReadTargetName(const QString& source);
    ConversionResult HexToBin(const QString& source, const QString& target);
    ConversionResult BinToHex(const QString& source, const QString& target);
    void FitClientWidth();
    void ShowMailButton(bool shown);
    Services EngineServices();

    bool DecodeChosen = false;
    bool EncodeMode = false;
    // True while BitBtnSTARTClick runs a conversion.
    bool Converting = false;
    // The window was closed during the current run.
    bool closeRequested_ = false;

    std::unique_ptr<UserMessages> ownMessages_;
    std::unique_ptr<Beeper> ownBeeper_;
    std::unique_ptr<ProgressBarReceiver> progress_;
    UserMessages* messages_;
    Beeper* beeper_;
    QStringList composer_;
    // The source and first part of the last green encode, for BitBtnMAIL.
    QString encodedSource_;
    QString encodedTarget_;
};

}  // namespace calverdon::gui
