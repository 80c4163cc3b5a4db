#pragma once

// A label that acts as a link: the web-site link of the main window and the
// mail link of the About box.

#include <QWidget>

namespace platform {

// A left click on the label (pressed and released over it) activates it,
// and so do Enter and Space while it has the keyboard focus. It takes the
// focus by Tab only, so a click leaves the focus where it was, and it draws
// a dotted frame around its text while it has the focus. Assistive
// technology sees a link, named by its text, with a press action that
// activates it as a click does.
//
// It draws its one line of plain text itself, as a plain label does: a
// label that takes the focus would build a whole text document for it,
// which costs the main window more than a millisecond of its start.
class LinkLabel : public QWidget {
    Q_OBJECT
public:
    explicit LinkLabel(const QString &text, QWidget *parent = nullptr);

    QString text() const { return text_; }
    void setText(const QString &text);
    Qt::Alignment alignment() const { return alignment_; }
    void setAlignment(Qt::Alignment alignment);
    QSize sizeHint() const override;

    // Where the text is drawn, in the label's own coordinates.
    QRect textRect() const;

public Q_SLOTS:
    // What a click does: emits activated().
    void activate();

Q_SIGNALS:
    void activated();

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    int drawFlags() const;

    QString text_;
    Qt::Alignment alignment_ = Qt::AlignLeft | Qt::AlignVCenter;
    bool pressed_ = false;
};

} // namespace platform
