#include "platform/qt/LinkLabel.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>

namespace platform {
namespace {

// What a screen reader is told about a link label.
class LinkAccessible : public QAccessibleWidget {
public:
    explicit LinkAccessible(LinkLabel *label) : QAccessibleWidget(label, QAccessible::Link) {}

    QString text(QAccessible::Text t) const override
    {
        QString value = QAccessibleWidget::text(t);
        if (t == QAccessible::Name && value.isEmpty())
            value = link()->text();
        return value;
    }

    QStringList actionNames() const override
    {
        return QStringList{pressAction()} + QAccessibleWidget::actionNames();
    }

    void doAction(const QString &actionName) override
    {
        if (actionName == pressAction()) {
            if (link()->isEnabled())
                link()->activate();
            return;
        }
        QAccessibleWidget::doAction(actionName);
    }

    QStringList keyBindingsForAction(const QString &actionName) const override
    {
        if (actionName == pressAction())
            return {QStringLiteral("Return"), QStringLiteral("Space")};
        return QAccessibleWidget::keyBindingsForAction(actionName);
    }

private:
    LinkLabel *link() const { return static_cast<LinkLabel *>(widget()); }
};

QAccessibleInterface *linkAccessibleFactory(const QString &className, QObject *object)
{
    if (className == QLatin1String(LinkLabel::staticMetaObject.className()) && object && object->isWidgetType())
        return new LinkAccessible(static_cast<LinkLabel *>(object));
    return nullptr;
}

} // namespace

LinkLabel::LinkLabel(const QString &text, QWidget *parent) : QWidget(parent), text_(text)
{
    static const bool factoryInstalled = [] {
        QAccessible::installFactory(&linkAccessibleFactory);
        return true;
    }();
    Q_UNUSED(factoryInstalled);
    setFocusPolicy(Qt::TabFocus);
    setCursor(Qt::PointingHandCursor);
}

void LinkLabel::setText(const QString &text)
{
    if (text == text_)
        return;
    text_ = text;
    updateGeometry();
    update();
    // A screen reader names the link by its text, unless it has a name of
    // its own.
    if (accessibleName().isEmpty()) {
        QAccessibleEvent changed(this, QAccessible::NameChanged);
        QAccessible::updateAccessibility(&changed);
    }
}

void LinkLabel::setAlignment(Qt::Alignment alignment)
{
    if (alignment == alignment_)
        return;
    alignment_ = alignment;
    update();
}

int LinkLabel::drawFlags() const
{
    return int(QStyle::visualAlignment(layoutDirection(), alignment_));
}

QSize LinkLabel::sizeHint() const
{
    return fontMetrics().size(Qt::TextSingleLine, text_).grownBy(contentsMargins());
}

QRect LinkLabel::textRect() const
{
    return style()->itemTextRect(fontMetrics(), contentsRect(), drawFlags(), isEnabled(), text_);
}

void LinkLabel::activate()
{
    Q_EMIT activated();
}

void LinkLabel::mousePressEvent(QMouseEvent *event)
{
    pressed_ = event->button() == Qt::LeftButton;
    if (pressed_) {
        event->accept();
        return;
    }
    QWidget::mousePressEvent(event);
}

void LinkLabel::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton) {
        QWidget::mouseReleaseEvent(event);
        return;
    }
    // Only a press and release both over the label is a click.
    const bool click = pressed_ && rect().contains(event->position().toPoint());
    pressed_ = false;
    event->accept();
    if (click)
        activate();
}

void LinkLabel::keyPressEvent(QKeyEvent *event)
{
    const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Space:
        if (modifiers == Qt::NoModifier) {
            // A held key opens the target once.
            if (!event->isAutoRepeat())
                activate();
            event->accept();
            return;
        }
        break;
    default:
        break;
    }
    QWidget::keyPressEvent(event);
}

void LinkLabel::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    style()->drawItemText(&painter, contentsRect(), drawFlags(), palette(), isEnabled(), text_, foregroundRole());
    if (!hasFocus())
        return;
    // The classic focus frame: dotted, in the text's colour, around the
    // text and inside the label.
    const QRect frame = textRect().adjusted(-1, 0, 1, 0) & rect();
    if (frame.isEmpty())
        return;
    QPen pen(palette().color(foregroundRole()), 1, Qt::DotLine);
    pen.setCosmetic(true);
    painter.setPen(pen);
    painter.drawRect(frame.adjusted(0, 0, -1, -1));
}

} // namespace platform
