#include "HexBin1.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QStandardPaths>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QProgressBar>
#include <QScopeGuard>
#include <QShortcut>
#include <QUrl>

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <vector>

#include "ChainSummary.h"
#include "Components.h"
#include <calverdon/Dllinfo.h>
#include "Extraction.h"
#include "GermanText.h"
#include "Texts.h"
#include "MailForm.h"
#include "Store.h"
#include "File.h"
#include "Info.h"
#include "MailParts.h"
#include "QtServices.h"

namespace calverdon::gui {
namespace {

const QString kSourcePlaceholder = texts::Q(texts::kSourcePlaceholder);
const QString kTargetPlaceholder = QStringLiteral("Ziel...");

// Paths reach the engine as the file system's bytes.
std::filesystem::path ToPath(const QString& path) { return std::filesystem::path(QFile::encodeName(path).toStdString()); }
QString FromPath(const std::filesystem::path& path) { return QFile::decodeName(QByteArray::fromStdString(path.native())); }

// The extension is the end of the file name from its last dot on.
QString ExtensionOf(const QString& path) {
    const QString name = QFileInfo(path).fileName();
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return dot < 0 ? QString() : name.mid(dot);
}

// The folder part of a path, ending in its separator.
QString FolderOf(const QString& path) {
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    return slash < 0 ? QString() : path.left(slash + 1);
}

// The local files and folders of a drag.
QStringList DraggedPaths(const QMimeData* data) {
    QStringList paths;
    if (data == nullptr || !data->hasUrls()) return paths;
    for (const QUrl& url : data->urls()) {
        if (!url.isLocalFile()) return {};
        const QFileInfo item(url.toLocalFile());
        if (!item.exists()) return {};
        paths.append(item.absoluteFilePath());
    }
    return paths;
}

// Whether a file begins as a mail or an mbox does: a "From " line, or a
// header field ("Name: value") as its first line. Only a regular file is
// opened, and never so that a FIFO or a device could block the window.
// Mails and mboxes are told by the engine's one rule, read without ever
// blocking on a FIFO.
bool LooksLikeMail(const QString& path) {
    const mail::FileForm form = mail::FileFormOf(ToPath(path));
    return form == mail::FileForm::Mail || form == mail::FileForm::Mbox;
}

// Whether `folder` is, or lies in, where mail programs keep mail: a
// Maildir (cur, new and tmp beside each other), or a mail folder of the
// usual places. Results never go there.
bool IsMailStore(const QString& folder) {
    const QString home = QDir::homePath();
    const QString clean = QDir::cleanPath(folder);
    for (const char* store : {"Mail", "mail", "Maildir", ".mail", ".maildir", ".thunderbird", ".local/share/evolution",
                              ".local/share/mail", ".local/share/local-mail"}) {
        const QString path = QDir::cleanPath(home + QLatin1Char('/') + QLatin1String(store));
        if (clean == path || clean.startsWith(path + QLatin1Char('/'))) return true;
    }
    if (clean.startsWith(QStringLiteral("/var/mail")) || clean.startsWith(QStringLiteral("/var/spool/mail"))) return true;
    for (QDir dir(clean);; ) {
        if (dir.exists(QStringLiteral("cur")) && dir.exists(QStringLiteral("new")) && dir.exists(QStringLiteral("tmp"))) {
            return true;
        }
        if (!dir.cdUp()) return false;
    }
}

// Where the chains of dropped mails go: beside a dropped mail that lies in
// an ordinary folder; otherwise (a Maildir, an mbox, a mail store, the home
// folder itself) into the user's download folder, so that neither the mail
// store nor the home folder gets files of a mail's choosing.
QString ResultFolderFor(const QStringList& paths) {
    const QString folder = QFileInfo(paths.first()).absolutePath();
    const bool mailsInOneFolder = std::all_of(paths.begin(), paths.end(), [&](const QString& path) {
        const QFileInfo info(path);
        return info.isFile() && info.absolutePath() == folder && mail::FileFormOf(ToPath(path)) == mail::FileForm::Mail;
    });
    if (mailsInOneFolder && QDir::cleanPath(folder) != QDir::cleanPath(QDir::homePath()) && !IsMailStore(folder)) {
        return folder;
    }
    QString downloads = QStandardPaths::writableLocation(QStandardPaths::DownloadLocation);
    if (downloads.isEmpty() || QDir::cleanPath(downloads) == QDir::cleanPath(QDir::homePath())) {
        downloads = QDir::homePath() + QStringLiteral("/Downloads");
    }
    QDir().mkpath(downloads);
    return downloads;
}

// A drop of mails, an mbox, a folder or several items is searched for
// chains; a single other file is a choice of source as in the dialog.
bool IsMailDrop(const QStringList& paths) {
    return paths.size() > 1 || (paths.size() == 1 && (QFileInfo(paths.first()).isDir() || LooksLikeMail(paths.first())));
}

// The outcome in words, for the dot and the target label: what the colour
// says to those who cannot tell the colours apart.
QString OutcomeInWords(ConversionResult result) {
    switch (result) {
    case ConversionResult::Failed: return texts::Q(texts::kNotConverted);
    case ConversionResult::ChecksumMismatch:
        return texts::Q(texts::kMismatch);
    case ConversionResult::Succeeded: break;
    }
    return texts::Q(texts::kConverted);
}

// "a", "a und b", "a, b und c", "a, b, c und 1 weiterer", "a, b, c und 4
// weitere".
QString MissingParts(const ChainSummary& chain) {
    QStringList names;
    for (const std::string& name : chain.missingNames) names << QString::fromStdString(name);
    const std::uint64_t unnamed = chain.missing - static_cast<std::uint64_t>(names.size());
    if (unnamed > 0) {
        return names.join(QStringLiteral(", ")) +
               (unnamed == 1 ? texts::Q(texts::kOneMore) : texts::Q(texts::kMore).arg(unnamed));
    }
    std::vector<std::string> items;
    for (const QString& name : names) items.push_back(name.toStdString());
    return QString::fromStdString(JoinGerman(items));
}

// What a chain holds, for the target label's tooltip, before it is decoded.
QString ChainToolTip(const ChainSummary& chain) {
    if (chain.name.empty()) return {};
    QString tip = texts::Q(texts::kHolds) + QString::fromStdString(chain.name);
    tip += texts::Q(texts::kPartsInFolder);
    tip += chain.last != 0 ? texts::Q(texts::kPartsOf).arg(chain.found).arg(chain.last)
                           : texts::Q(texts::kPartsLastMissing).arg(chain.found);
    if (chain.missing == 1) tip += texts::Q(texts::kOneMissing) + MissingParts(chain);
    if (chain.missing > 1) tip += texts::Q(texts::kManyMissing) + MissingParts(chain);
    return tip;
}

template <typename Label = QLabel>
Label* MakeLabel(QWidget* parent, const char* name, const QString& caption, int left, int top) {
    auto* label = new Label(parent);
    label->setObjectName(QLatin1String(name));
    // Paths may hold anything, also what would read as markup.
    label->setTextFormat(Qt::PlainText);
    label->move(left, top);
    SetCaption(*label, caption);
    return label;
}

TBitBtn* MakeButton(QWidget* parent, const char* name, const QString& caption, const char* icon,
                    TBitBtn::Glyph layout, QRect geometry) {
    auto* button = new TBitBtn(caption, QIcon(QStringLiteral(":/icons/") + QLatin1String(icon)), layout, parent);
    button->setObjectName(QLatin1String(name));
    button->setGeometry(geometry);
    return button;
}

}  // namespace

TForm1::TForm1(QWidget* owner, TForm1Seams seams) : QWidget(owner) {
    setObjectName(QStringLiteral("Form1"));
    // A sizable frame whose title bar offers the system menu and the close
    // box only.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);
    setFont(FormFont());
    setWindowIcon(WindowIcon());
    setAcceptDrops(true);
    resize(411, 253);
    move(0, 0);

    CreateComponents();

    if (seams.messages == nullptr) ownMessages_ = std::make_unique<MessageBoxMessages>(this);
    messages_ = seams.messages != nullptr ? seams.messages : ownMessages_.get();
    if (seams.beeper == nullptr) ownBeeper_ = std::make_unique<SystemBeeper>();
    beeper_ = seams.beeper != nullptr ? seams.beeper : ownBeeper_.get();
    composer_ = seams.composer.isEmpty() ? DefaultComposer() : seams.composer;
    progress_ = std::make_unique<ProgressBarReceiver>(*ProgressBar1, [this] { return AskWhetherToStop(); });

    SetCaptionFromVersion(seams.versionReader ? seams.versionReader : VersionReader(&::GetDLLInfo));
    // Only the presence of the marker counts, and only now.
    EncodeMode = seams.encodeMode || QFileInfo(QStringLiteral("Codieren.ini")).isFile();
    if (!EncodeMode) OpenDialog1->DefaultExt = QStringLiteral(".txt");
}

TForm1::~TForm1() = default;

void TForm1::CreateComponents() {
    // Declared order of the components; positions in logical pixels.
    Label1 = MakeLabel(this, "Label1", texts::Q(texts::kSourceLabel), 8, 49);
    Label2 = MakeLabel(this, "Label2", texts::Q(texts::kTargetLabel), 8, 112);
    LabelZIEL = MakeLabel(this, "LabelZIEL", kTargetPlaceholder, 8, 134);

    OpenDialog1 = new TOpenDialog(this);
    OpenDialog1->setObjectName(QStringLiteral("OpenDialog1"));
    OpenDialog1->Title = texts::Q(texts::kDialogTitle);

    BitBtnSTART = MakeButton(this, "BitBtnSTART", texts::Q(texts::kStart), "start.svg",
                             TBitBtn::Glyph::Right, QRect(96, 109, 213, 25));
    BitBtnSTART->setToolTip(texts::Q(texts::kStartTip));
    BitBtnSTART->setEnabled(false);

    BitBtn2 = MakeButton(this, "BitBtn2", texts::Q(texts::kClose), "exit.svg", TBitBtn::Glyph::Left,
                         QRect(4, 4, 93, 25));

    ProgressBar1 = new QProgressBar(this);
    ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    ProgressBar1->setGeometry(8, 208, 395, 13);
    ProgressBar1->setRange(0, 100);
    ProgressBar1->setValue(0);
    ProgressBar1->setTextVisible(false);

    ShapeRES = new TShape(this);
    ShapeRES->setObjectName(QStringLiteral("ShapeRES"));
    ShapeRES->setGeometry(193, 227, 16, 16);
    ShapeRES->SetBrushColor(QColor(0, 255, 0));
    ShapeRES->hide();

    BitBtnHILF = MakeButton(this, "BitBtnHILF", texts::Q(texts::kHelp), "help.svg", TBitBtn::Glyph::Left,
                            QRect(310, 4, 93, 25));
    BitBtnQ = MakeButton(this, "BitBtnQ", texts::Q(texts::kChoose), "open.svg", TBitBtn::Glyph::Right,
                         QRect(148, 46, 125, 25));
    BitBtnQ->setToolTip(texts::Q(texts::kChooseTip));

    LabelQ = MakeLabel(this, "LabelQ", kSourcePlaceholder, 8, 75);

    EditKB = new QLineEdit(QStringLiteral("0"), this);
    EditKB->setObjectName(QStringLiteral("EditKB"));
    EditKB->setGeometry(188, 170, 65, 24);
    EditKB->hide();

    // Eighteen blanks leave the gap in which EditKB sits.
    auto* kilobytes = MakeLabel<TGapLabel>(this, "LabelKB", texts::Q(texts::kKilobytesStart) +
                                           QString(18, QLatin1Char(' ')) + texts::Q(texts::kKilobytesEnd), 92, 173);
    kilobytes->SetControlLeft(EditKB->x());
    LabelKB = kilobytes;
    LabelKB->hide();
    // The field sits in the label's gap, so it must lie above the label.
    EditKB->raise();

    // Right of the dot, in the row that only the dot uses otherwise.
    BitBtnMAIL = MakeButton(this, "BitBtnMAIL", texts::Q(texts::kMail), "start.svg",
                            TBitBtn::Glyph::Right, QRect(240, 224, 163, 25));
    BitBtnMAIL->setToolTip(texts::Q(texts::kMailTip));
    ShowMailButton(false);

    setTabOrder(BitBtnSTART, BitBtn2);
    setTabOrder(BitBtn2, BitBtnHILF);
    setTabOrder(BitBtnHILF, BitBtnQ);
    setTabOrder(BitBtnQ, EditKB);
    setTabOrder(EditKB, BitBtnMAIL);

    connect(BitBtnQ, &QPushButton::clicked, this, [this] { ButtonQClick(BitBtnQ); });
    connect(BitBtnSTART, &QPushButton::clicked, this, [this] { BitBtnSTARTClick(BitBtnSTART); });
    connect(BitBtn2, &QPushButton::clicked, this, [this] { BitBtn2Click(BitBtn2); });
    connect(BitBtnHILF, &QPushButton::clicked, this, [this] { BitBtnHILFClick(BitBtnHILF); });
    connect(BitBtnMAIL, &QPushButton::clicked, this, [this] { BitBtnMAILClick(BitBtnMAIL); });

    // F1 for the help and Ctrl+O for a source, as elsewhere on the desktop;
    // during a run they do nothing.
    auto* help = new QShortcut(QKeySequence(Qt::Key_F1), this);
    connect(help, &QShortcut::activated, this, [this] {
        if (!Converting) BitBtnHILFClick(BitBtnHILF);
    });
    auto* open = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_O), this);
    connect(open, &QShortcut::activated, this, [this] {
        if (!Converting) ButtonQClick(BitBtnQ);
    });
}

void TForm1::SetCaptionFromVersion(const VersionReader& reader) {
    // The executable's own name without its folder; the reader looks in
    // the executable's folder first.
    const QString self = QFileInfo(QCoreApplication::applicationFilePath()).fileName();
    UnicodeString copyright;
    const UnicodeString version = reader(self.toStdU16String(), copyright);
    setWindowTitle(QStringLiteral("Calverdon V") + QString::fromStdU16String(version) + QLatin1Char(' ') +
                   QString::fromStdU16String(copyright));
}

void TForm1::ButtonQClick(QObject*) {
    if (!OpenDialog1->Execute()) return;
    SourceChosen(OpenDialog1->FileName);
}

void TForm1::dragEnterEvent(QDragEnterEvent* event) {
    if (!DraggedPaths(event->mimeData()).isEmpty()) event->acceptProposedAction();
}

void TForm1::dropEvent(QDropEvent* event) {
    const QStringList paths = DraggedPaths(event->mimeData());
    if (paths.isEmpty()) return;
    event->acceptProposedAction();
    OpenPaths(paths);
}

void TForm1::OpenPaths(const QStringList& given) {
    if (Converting) return;
    QStringList paths;
    QStringList missing;
    for (const QString& path : given) (QFileInfo::exists(path) ? paths : missing) << QFileInfo(path).absoluteFilePath();
    if (!missing.isEmpty()) {
        messages_->Show((missing.join(QLatin1Char('\n')) + texts::Q(texts::kMissingEnd)).toStdString(),
                        missing.size() == 1 ? texts::kMissingOne : texts::kMissingMany, MessageKind::Error);
    }
    if (paths.isEmpty()) return;
    if (IsMailDrop(paths)) {
        ExtractFromMail(paths);
        return;
    }
    if (!QFileInfo(paths.first()).isFile()) return;
    // A single file stands for a choice in the dialog, which also moves the
    // working directory to the chosen file's folder.
    QDir::setCurrent(QFileInfo(paths.first()).absolutePath());
    SourceChosen(paths.first());
}

void TForm1::closeEvent(QCloseEvent* event) {
    if (!Converting) {
        QWidget::closeEvent(event);
        return;
    }
    event->ignore();
    closeRequested_ = true;
    progress_->AskToStop();
}

bool TForm1::AskWhetherToStop() {
    return messages_->Show(texts::kStopQuestion, texts::kStopCaption, MessageKind::YesNoWarning) == kAnswerYes;
}

bool TForm1::RunWork(const std::function<void()>& work) {
    bool closing = false;
    {
        InputHold heldInput(*this, [this] { progress_->AskToStop(); }, BitBtn2);
        Converting = true;
        closeRequested_ = false;
        progress_->BeginRun();
        const auto notConverting = qScopeGuard([this] { Converting = false; });
        {
            WaitCursor hourglass;
            work();
        }
        // A close that came too late to be asked about still closes.
        closing = progress_->Stopped() || (closeRequested_ && progress_->QuestionPending());
        if (closing) heldInput.Discard();
    }
    ProgressBar1->setValue(0);
    if (closing) close();
    return !closing;
}

void TForm1::ExtractFromMail(const QStringList& paths) {
    if (Converting) return;
    ShapeRES->hide();
    ShowMailButton(false);
    std::vector<std::filesystem::path> sources;
    for (const QString& path : paths) sources.push_back(ToPath(path));
    const std::filesystem::path folder = ToPath(ResultFolderFor(paths));
    mail::ExtractionReport report;
    // Parts of chains not yet whole wait in the same store as the command
    // line's, so that mails dropped today complete a chain begun yesterday.
    mail::ExtractOptions options;
    options.store = mail::DefaultStorePath();
    if (!RunWork([&] { report = mail::ExtractAll(sources, folder, EngineServices(), options); })) return;
    std::string text;
    for (const auto& lines : {report.lines, report.errors}) {
        for (const std::string& line : lines) text += (text.empty() ? "" : "\n") + line;
    }
    ConversionResult result = ConversionResult::Failed;
    MessageKind kind = MessageKind::Error;
    if (report.outcome == mail::Outcome::AllVerified) {
        result = ConversionResult::Succeeded;
        kind = MessageKind::Information;
    } else if (report.outcome == mail::Outcome::SomeIncomplete) {
        result = ConversionResult::ChecksumMismatch;
        kind = MessageKind::Warning;
    }
    messages_->Show(text, texts::kExtractionCaption, kind);
    // Yellow here means a chain not found whole as much as a checksum.
    ShowResult(result, result == ConversionResult::ChecksumMismatch ? texts::Q(texts::kNotAllConverted)
                                                                     : OutcomeInWords(result));
}

void TForm1::SourceChosen(const QString& path) {
    ShowMailButton(false);
    SetCaption(*LabelQ, path);
    const QString source = LabelQ->text();
    if (source.isEmpty() || !QFileInfo(source).isFile()) {
        ForgetChoice();
        return;
    }

    if (ExtensionOf(source).toUpper() == QLatin1String(".TXT")) {
        const std::string name = ReadTargetName(source);
        if (name.empty()) {
            // The header check has told the user what is wrong.
            ForgetChoice();
            return;
        }
        SetCaption(*LabelZIEL, FolderOf(source) + QString::fromStdString(name));
        SetTargetDescription(ChainToolTip(SummarizeChain(ToPath(source))));
        DecodeChosen = true;
    } else if (!EncodeMode && LooksLikeMail(source)) {
        // A mail or a mailbox holds its chains as attachments: searched as
        // if dropped.
        ForgetChoice();
        ExtractFromMail({source});
        return;
    } else if (!EncodeMode) {
        messages_->Show(texts::kOtherExtensionText, texts::kOtherExtensionCaption, MessageKind::Information);
        ForgetChoice();
        return;
    } else {
        SetCaption(*LabelZIEL, FromPath(EncodeTargetFor(ToPath(source))));
        SetTargetDescription({});
        LabelKB->show();
        EditKB->show();
        DecodeChosen = false;
    }
    BitBtnSTART->setEnabled(!LabelZIEL->text().isEmpty());
    FitClientWidth();
}

void TForm1::ForgetChoice() {
    SetCaption(*LabelZIEL, kTargetPlaceholder);
    SetTargetDescription({});
    DecodeChosen = false;
    BitBtnSTART->setEnabled(false);
    FitClientWidth();
}

void TForm1::FitClientWidth() {
    const QFontMetrics metrics(font());
    const int needed = std::max(metrics.horizontalAdvance(LabelQ->text()),
                                metrics.horizontalAdvance(LabelZIEL->text())) + 15;
    if (width() < needed) resize(needed, height());
}

void TForm1::BitBtnSTARTClick(QObject*) {
    // The conversion lets paint events through while it runs; nothing of
    // the user's reaches this window before it is over, and no second
    // conversion starts inside the first.
    if (Converting) return;
    BitBtnSTART->setEnabled(false);
    ShapeRES->hide();
    ShowMailButton(false);
    ConversionResult result = ConversionResult::Failed;
    const QString source = LabelQ->text();
    const QString target = LabelZIEL->text();
    if (!RunWork([&] { result = DecodeChosen ? HexToBin(source, target) : BinToHex(source, target); })) return;
    // The target label says in words what became of the file; its
    // description keeps the path.
    LabelZIEL->setToolTip(OutcomeInWords(result));
    LabelZIEL->setAccessibleName(OutcomeInWords(result));
    LabelZIEL->setAccessibleDescription(target);
    ShowResult(result, OutcomeInWords(result));
    if (!DecodeChosen && result == ConversionResult::Succeeded) {
        encodedSource_ = source;
        encodedTarget_ = target;
        ShowMailButton(true);
    }
}

void TForm1::ShowMailButton(bool shown) {
    BitBtnMAIL->setVisible(shown);
    // In the tab order only while it is there, so that the order of the
    // window's own controls stays as it is otherwise.
    BitBtnMAIL->setFocusPolicy(shown ? Qt::StrongFocus : Qt::NoFocus);
}

void TForm1::BitBtnMAILClick(QObject*) {
    if (Converting || encodedTarget_.isEmpty()) return;
    OfferPartsByMail(ToPath(encodedSource_), ToPath(encodedTarget_), composer_, *messages_);
}

void TForm1::SetTargetDescription(const QString& description) {
    LabelZIEL->setToolTip(description);
    LabelZIEL->setAccessibleName({});
    LabelZIEL->setAccessibleDescription(description);
}

void TForm1::ShowResult(ConversionResult result, const QString& words) {
    switch (result) {
    case ConversionResult::Failed: ShapeRES->SetBrushColor(QColor(255, 0, 0)); break;
    case ConversionResult::ChecksumMismatch: ShapeRES->SetBrushColor(QColor(255, 255, 0)); break;
    case ConversionResult::Succeeded: ShapeRES->SetBrushColor(QColor(0, 255, 0)); break;
    }
    ShapeRES->setToolTip(words);
    ShapeRES->setAccessibleName(words);
    ShapeRES->show();
    beeper_->MessageBeep(result == ConversionResult::ChecksumMismatch ? MB_ICONERROR : MB_OK);
}

void TForm1::BitBtn2Click(QObject*) { close(); }

void TForm1::BitBtnHILFClick(QObject*) {
    // A fresh window for each opening, so that the help file is read anew.
    TFormINFO help(nullptr);
    help.exec();
}

Services TForm1::EngineServices() { return Services{*messages_, progress_.get()}; }

std::string TForm1::ReadTargetName(const QString& source) {
    return calverdon::ReadTargetName(ToPath(source), *messages_);
}

ConversionResult TForm1::HexToBin(const QString& source, const QString& target) {
    return calverdon::HexToBin(ToPath(source), ToPath(target), EngineServices());
}

ConversionResult TForm1::BinToHex(const QString& source, const QString& target) {
    return calverdon::BinToHex(ToPath(source), ToPath(target), EditKB->text().toStdString(), EngineServices());
}

}  // namespace calverdon::gui
