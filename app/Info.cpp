#include "Info.h"

#include <QCoreApplication>
#include <QTextEdit>

#include "Components.h"
#include "RichText.h"
#include "Texts.h"

namespace calverdon::gui {

QStringList TFormINFO::BuiltInLines() {
    QStringList lines;
    for (const char* line : texts::kBuiltInHelp) lines << texts::Q(line);
    return lines;
}

QString InstalledHelpFile() {
    return QCoreApplication::applicationDirPath() + QStringLiteral("/" CALVERDON_HELP_FROM_PROGRAMS);
}

TFormINFO::TFormINFO(QWidget* owner, const QString& installedHelp) : QDialog(owner) {
    setObjectName(QStringLiteral("FormINFO"));
    setWindowTitle(texts::Q(texts::kHelpTitle));
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint);
    setFont(FormFont());
    setWindowIcon(WindowIcon());
    setSizeGripEnabled(false);
    resize(602, 341);
    move(0, 0);

    RichEdit1 = new QTextEdit(this);
    RichEdit1->setObjectName(QStringLiteral("RichEdit1"));
    RichEdit1->setGeometry(4, 35, 590, 294);
    RichEdit1->setReadOnly(true);
    RichEdit1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    RichEdit1->setPlainText(BuiltInLines().join(QLatin1Char('\n')));

    BitBtn1 = new TBitBtn(texts::Q(texts::kHelpClose), QIcon(QStringLiteral(":/icons/back.svg")),
                          TBitBtn::Glyph::Left, this);
    BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
    BitBtn1->setGeometry(4, 4, 101, 25);
    // The button's modal result is OK: a click ends the modal showing.
    connect(BitBtn1, &QPushButton::clicked, this, &QDialog::accept);

    setTabOrder(RichEdit1, BitBtn1);
    RichEdit1->setFocus();

    MarginWidth = width() - RichEdit1->width();
    MarginHeight = height() - RichEdit1->height();

    LoadHelpFile(installedHelp);
}

void TFormINFO::LoadHelpFile(const QString& installedHelp) {
    // Relative on purpose: the help file belongs to the working directory,
    // the folder of the last chosen source. Without one there, the help
    // text installed with the program. A file that cannot be loaded leaves
    // what the view holds, without a message.
    try {
        if (!LoadRichTextFile(*RichEdit1, QStringLiteral("Calverdon.rtf")) && !installedHelp.isEmpty())
            LoadRichTextFile(*RichEdit1, installedHelp);
    } catch (...) {
    }
}

void TFormINFO::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    FormResize(this);
}

void TFormINFO::FormResize(QObject*) {
    if (RichEdit1 == nullptr) return;  // a resize before the view exists
    RichEdit1->resize(width() - MarginWidth, height() - MarginHeight);
}

}  // namespace calverdon::gui
