#pragma once
// The few controls the two windows need beyond plain Qt widgets: a button
// whose picture may stand right of its caption, the filled circle that
// shows an outcome, a label with a gap for a field, the file-open dialog as a component with a seam that
// tests use to "choose" a file, and the font and icon both windows share.

#include <QColor>
#include <QFont>
#include <QIcon>
#include <QLabel>
#include <QObject>
#include <QPushButton>
#include <QString>
#include <QWidget>

#include <functional>

namespace calverdon::gui {

// Tahoma at a character height of 13 pixels where it is installed, else
// the closest sans-serif face at the same pixel size.
QFont FormFont();

// Of the given families, the sans-serif face whose widths at 13 pixels come
// closest to Tahoma's, so that the fixed layout keeps its proportions; an
// empty string when none of them is a sans-serif face.
QString ClosestToTahoma(const QStringList& families);

// The 16 x 16 window icon shared by the main and the help window.
QIcon WindowIcon();

// Sets a label's text and sizes the label to it, as self-sizing labels do.
void SetCaption(QLabel& label, const QString& text);

// A push button with a picture. The picture stands left of the caption, or
// right of it; caption and picture are centred together.
class TBitBtn : public QPushButton {
    Q_OBJECT
public:
    enum class Glyph { Left, Right };
    TBitBtn(const QString& caption, const QIcon& picture, Glyph layout, QWidget* parent);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    Glyph layout_;
};

// A circle filled with a brush colour and outlined thinly in black.
class TShape : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QColor brushColor READ BrushColor WRITE SetBrushColor)
public:
    explicit TShape(QWidget* parent);
    QColor BrushColor() const { return brush_; }
    void SetBrushColor(const QColor& colour);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor brush_{0, 255, 0};
};

// A left-aligned label whose text keeps a run of blanks free for a control
// that the window places over it, as "Dateigröße max.                  kB"
// does for the kilobyte field. The text before the blanks ends at least
// kGapPixels before the control: where the font runs wider than the face
// the layout was made with, that part is drawn with its letters set a
// little closer. The text after the blanks stays where the font puts it,
// and the label's text and size are those of a plain label.
class TGapLabel : public QLabel {
    Q_OBJECT
public:
    static constexpr int kGapPixels = 4;

    explicit TGapLabel(QWidget* parent) : QLabel(parent) {}
    // The control's left edge in the parent's coordinates; negative for none.
    void SetControlLeft(int x);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int controlLeft_ = -1;
};

// A modal file-open dialog for one existing file. Like the dialog it
// stands in for, a choice makes the chosen file's folder the process's
// working directory.
class TOpenDialog : public QObject {
    Q_OBJECT
public:
    // Asks for a file and returns its full path, or an empty string for a
    // cancel. The default runs a QFileDialog over the owner window.
    using Chooser = std::function<QString(const TOpenDialog&)>;

    explicit TOpenDialog(QWidget* owner);

    QString Title;
    // Appended (with its dot) to a typed name without extension; may be empty.
    QString DefaultExt;
    // The full path of the last choice.
    QString FileName;

    void SetChooser(Chooser chooser) { chooser_ = std::move(chooser); }
    // True when a file was chosen.
    bool Execute();

private:
    QString RunFileDialog() const;

    QWidget* owner_;
    Chooser chooser_;
};

}  // namespace calverdon::gui
