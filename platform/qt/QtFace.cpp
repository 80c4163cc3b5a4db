#include "platform/qt/QtFace.h"

#include "platform/forms/Control.h"
#include "platform/forms/Form.h"
#include "platform/qt/LinkLabel.h"
#include "platform/qt/QtText.h"
#include "platform/qt/Twips.h"
#include "platform/qt/WindowFont.h"
#include "platform/qt/WindowHandle.h"
#include "resources/ProgramIcon.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDialog>
#include <QEventLoop>
#include <QFrame>
#include <QGroupBox>
#include <QHideEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <climits>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace platform::qt {
namespace {

using forms::Control;
using forms::Form;
using forms::Kind;

// A fixed frame with a close box and no minimise or maximise button.
constexpr Qt::WindowFlags MainWindowFlags = Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint
    | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
constexpr Qt::WindowFlags DialogFlags = Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint
    | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint;

QString nameOf(std::string_view id)
{
    return QString::fromUtf8(id.data(), qsizetype(id.size()));
}

QFont fontOf(const forms::Font &font)
{
    return windowFont(font.points, font.bold, font.underline);
}

// --- the windows -----------------------------------------------------------------

// The main window: Enter and Escape go to the form's default and cancel
// buttons (a focused push button takes Enter itself), the close box to the
// form.
class MainWindow : public QMainWindow {
public:
    explicit MainWindow(QWidget *parent) : QMainWindow(parent, MainWindowFlags) {}

    Form *form = nullptr;            // cleared when the form's peer goes
    QEventLoop *modalLoop = nullptr; // while shown modally

protected:
    void keyPressEvent(QKeyEvent *event) override
    {
        switch (event->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            if (event->modifiers() == Qt::NoModifier || event->modifiers() == Qt::KeypadModifier) {
                if (form)
                    form->userEnter();
                return;
            }
            break;
        case Qt::Key_Escape:
            if (event->modifiers() == Qt::NoModifier) {
                if (form)
                    form->userEscape();
                return;
            }
            break;
        default:
            break;
        }
        QMainWindow::keyPressEvent(event);
    }

    void closeEvent(QCloseEvent *event) override
    {
        QPointer<MainWindow> self(this);
        if (form)
            form->userClose();
        if (!self)
            return;
        // The window goes only when the form unloaded.
        if (!form || form->isUnloaded())
            event->accept();
        else
            event->ignore();
    }

    void hideEvent(QHideEvent *event) override
    {
        QMainWindow::hideEvent(event);
        if (event->spontaneous())
            return;
        if (form)
            form->faceHidden();
        if (modalLoop)
            modalLoop->exit();
    }
};

// Any other window: a fixed-size dialog. Enter is QDialog's own (the
// focused button, else the default one); Escape and the close box go to the
// form, never to reject().
class Dialog : public QDialog {
public:
    explicit Dialog(QWidget *parent) : QDialog(parent, DialogFlags) {}

    Form *form = nullptr; // cleared when the form's peer goes

protected:
    void keyPressEvent(QKeyEvent *event) override
    {
        if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
            if (form)
                form->userEscape();
            event->accept();
            return;
        }
        QDialog::keyPressEvent(event);
    }

    void closeEvent(QCloseEvent *event) override
    {
        QPointer<Dialog> self(this);
        if (form)
            form->userClose();
        if (!self)
            return;
        if (isVisible())
            event->ignore();
        else
            event->accept();
    }

    void hideEvent(QHideEvent *event) override
    {
        QDialog::hideEvent(event);
        if (!event->spontaneous() && form)
            form->faceHidden();
    }
};

// --- controls that report a click themselves -----------------------------------------

// A control whose user clicks the model decides on. The model answers a
// click by setting the value, which must not come back as another click.
struct ClickReporter {
    Control *control = nullptr; // cleared when the control's peer goes
    bool reporting = false;

    void reportClick(QObject *widget)
    {
        if (!control || reporting)
            return;
        QPointer<QObject> alive(widget);
        reporting = true;
        control->userClick();
        if (alive)
            reporting = false;
    }
};

// An option button: a click, Space, an arrow key or the mnemonic asks the
// model, which selects it and clears the others of its group.
class OptionButton : public QRadioButton, public ClickReporter {
public:
    OptionButton(const QString &text, QWidget *parent) : QRadioButton(text, parent) {}

protected:
    void nextCheckState() override { reportClick(this); }
};

// A check box: the model toggles checked and unchecked; greyed becomes
// checked.
class CheckBox : public QCheckBox, public ClickReporter {
public:
    CheckBox(const QString &text, QWidget *parent) : QCheckBox(text, parent) {}

protected:
    void nextCheckState() override { reportClick(this); }
};

// A label whose click is reported: a left press and release over it, whatever
// the state of the box beside it. It takes no focus.
class ClickLabel : public QLabel, public ClickReporter {
public:
    ClickLabel(const QString &text, QWidget *parent) : QLabel(text, parent) { setFocusPolicy(Qt::NoFocus); }

protected:
    void mousePressEvent(QMouseEvent *event) override
    {
        pressed_ = event->button() == Qt::LeftButton;
        event->accept();
    }

    void mouseReleaseEvent(QMouseEvent *event) override
    {
        const bool click =
            pressed_ && event->button() == Qt::LeftButton && rect().contains(event->position().toPoint());
        pressed_ = false;
        event->accept();
        if (click)
            reportClick(this);
    }

private:
    bool pressed_ = false;
};

// --- one control ------------------------------------------------------------------

class QtControlPeer : public forms::ControlPeer {
public:
    QtControlPeer(Control &control, QWidget *widget, QAction *action, QMenu *menu, QTimer *timer)
        : control_(control), widget_(widget), action_(action), menu_(menu), timer_(timer)
    {
        if (auto *reporter = dynamic_cast<ClickReporter *>(widget))
            reporter->control = &control;
    }

    ~QtControlPeer() override
    {
        if (widget_) {
            if (auto *reporter = dynamic_cast<ClickReporter *>(widget_.data()))
                reporter->control = nullptr;
        }
        if (timer_)
            timer_->stop();
    }

    QtControlPeer(const QtControlPeer &) = delete;
    QtControlPeer &operator=(const QtControlPeer &) = delete;

    // The receiver of the connections that report to the control: they end
    // with the peer.
    QObject *context() { return &context_; }

    void setCaption(const std::u16string &caption) override
    {
        const QString text = toQString(caption);
        switch (control_.kind()) {
        case Kind::Frame:
            if (auto *box = qobject_cast<QGroupBox *>(widget_))
                box->setTitle(text);
            break;
        case Kind::Option:
        case Kind::Check:
        case Kind::Button:
            if (auto *button = qobject_cast<QAbstractButton *>(widget_))
                button->setText(text);
            break;
        case Kind::Label:
            if (auto *label = qobject_cast<QLabel *>(widget_))
                label->setText(text);
            break;
        case Kind::Link:
            if (auto *link = qobject_cast<LinkLabel *>(widget_))
                link->setText(text);
            break;
        case Kind::Menu:
            if (menu_)
                menu_->setTitle(text);
            break;
        case Kind::MenuItem:
            if (action_)
                action_->setText(text);
            break;
        case Kind::TextBox:
        case Kind::Line:
        case Kind::Separator:
        case Kind::Timer:
            break;
        }
    }

    void setEnabled(bool enabled) override
    {
        if (widget_)
            widget_->setEnabled(enabled);
        if (action_)
            action_->setEnabled(enabled);
    }

    void setVisible(bool visible) override
    {
        if (widget_)
            widget_->setVisible(visible);
        if (action_)
            action_->setVisible(visible);
    }

    void setValue(std::int16_t value) override
    {
        if (control_.kind() == Kind::Option) {
            auto *option = qobject_cast<QRadioButton *>(widget_);
            if (!option || option->isChecked() == (value != 0))
                return;
            if (value != 0) {
                option->setChecked(true);
            } else {
                // An exclusive option cannot be cleared directly; clearing
                // one may leave its group with none selected.
                const bool exclusive = option->autoExclusive();
                option->setAutoExclusive(false);
                option->setChecked(false);
                option->setAutoExclusive(exclusive);
            }
        } else if (control_.kind() == Kind::Check) {
            if (auto *box = qobject_cast<QCheckBox *>(widget_))
                box->setCheckState(value == 1 ? Qt::Checked : value == 2 ? Qt::PartiallyChecked : Qt::Unchecked);
        }
    }

    void setText(const std::u16string &text) override
    {
        auto *edit = qobject_cast<QLineEdit *>(widget_);
        const QString shown = toQString(text);
        if (edit && edit->text() != shown)
            edit->setText(shown);
    }

    void setPlace(const forms::Twips &place) override
    {
        if (!widget_)
            return;
        if (control_.kind() == Kind::Line) {
            // A rule one pixel high, from its left edge to its right one.
            widget_->setGeometry(px(place.left), px(place.top), px(place.right()) - px(place.left), 1);
            return;
        }
        widget_->setGeometry(twipsRect(place.left, place.top, place.width, place.height));
    }

    void setAccessibleName(const std::u16string &name) override
    {
        if (widget_)
            widget_->setAccessibleName(toQString(name));
    }

    void setTimer(int interval, bool running) override
    {
        if (!timer_)
            return;
        timer_->setInterval(interval);
        if (running)
            timer_->start();
        else
            timer_->stop();
    }

    int neededWidth() const override
    {
        if (!widget_)
            return 0;
        switch (control_.kind()) {
        case Kind::Label:
        case Kind::Link: {
            const QString text = control_.kind() == Kind::Label ? static_cast<QLabel *>(widget_.data())->text()
                                                                : static_cast<LinkLabel *>(widget_.data())->text();
            if (text.isEmpty())
                return 0;
            return std::max(widget_->sizeHint().width(), widget_->fontMetrics().horizontalAdvance(text))
                * TwipsPerPixel;
        }
        case Kind::Frame:
            return widget_->minimumSizeHint().width() * TwipsPerPixel;
        default:
            return widget_->sizeHint().width() * TwipsPerPixel;
        }
    }

private:
    Control &control_;
    QPointer<QWidget> widget_;
    QPointer<QAction> action_; // a menu item's, a separator's, or a menu's own
    QPointer<QMenu> menu_;
    QPointer<QTimer> timer_;
    QObject context_;
};

// --- one window -------------------------------------------------------------------

class QtFormPeer : public forms::FormPeer {
public:
    QtFormPeer(Form &form, QWidget *owner) : form_(form), owner_(owner)
    {
        const forms::FormSpec &design = form.design();
        if (design.flags & forms::MainWindow) {
            auto *window = new MainWindow(owner);
            main_ = window;
            window_ = window;
            window->setObjectName(nameOf(design.id));
        } else {
            auto *dialog = new Dialog(owner);
            dialog_ = dialog;
            window_ = dialog;
            dialog->setObjectName(nameOf(design.id));
            dialog->setFixedSize(px(design.width), px(design.height));
            dialog->setSizeGripEnabled(false);
            client_ = dialog;
        }
        window_->setWindowTitle(toQString(form.Caption()));
        window_->setFont(fontOf(design.font));
        if (form.icon() == forms::Icon::Program)
            window_->setWindowIcon(resources::programIcon());
        if (main_)
            main_->form = &form_;
        if (dialog_)
            dialog_->form = &form_;
    }

    ~QtFormPeer() override
    {
        if (main_)
            main_->form = nullptr;
        if (dialog_)
            dialog_->form = nullptr;
        if (!window_)
            return;
        window_->hide();
        // A procedure may drop the window from inside one of its own events:
        // it goes once that event is over.
        if (QThread::currentThread()->loopLevel() > 0)
            window_->deleteLater();
        else
            delete window_.data();
    }

    QtFormPeer(const QtFormPeer &) = delete;
    QtFormPeer &operator=(const QtFormPeer &) = delete;

    std::unique_ptr<forms::ControlPeer> createControl(Control &control) override
    {
        const forms::ControlSpec &design = control.design();
        const QString caption = toQString(control.Caption());
        const bool onMenuBar = design.kind == Kind::Menu || design.kind == Kind::MenuItem || design.kind == Kind::Separator;
        QWidget *parent = onMenuBar || design.kind == Kind::Timer ? nullptr : containerOf(design.container);
        QWidget *widget = nullptr;
        QAction *action = nullptr;
        QMenu *menu = nullptr;
        QTimer *timer = nullptr;

        switch (design.kind) {
        case Kind::Frame:
            widget = new QGroupBox(caption, parent);
            frames_[std::string(design.id)] = widget;
            break;
        case Kind::Option:
            widget = new OptionButton(caption, parent);
            break;
        case Kind::Check: {
            auto *box = new CheckBox(caption, parent);
            if (design.flags & forms::Tristate)
                box->setTristate(true);
            widget = box;
            break;
        }
        case Kind::Button: {
            auto *button = new QPushButton(caption, parent);
            button->setAutoDefault(true);
            if (design.flags & forms::Default)
                button->setDefault(true);
            widget = button;
            break;
        }
        case Kind::Label: {
            QLabel *label = (design.flags & forms::ClickReported) ? new ClickLabel(caption, parent)
                                                                 : new QLabel(caption, parent);
            if (design.flags & forms::AlignTop)
                label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
            widget = label;
            break;
        }
        case Kind::Link: {
            auto *link = new LinkLabel(caption, parent);
            if (design.flags & forms::AlignTop)
                link->setAlignment(Qt::AlignLeft | Qt::AlignTop);
            widget = link;
            break;
        }
        case Kind::TextBox: {
            auto *edit = new QLineEdit(parent);
            // The text has no length limit of its own; Qt's default would cut
            // it at 32767 characters.
            edit->setMaxLength(INT_MAX);
            if (!control.Text().empty())
                edit->setText(toQString(control.Text()));
            widget = edit;
            break;
        }
        case Kind::Line: {
            auto *line = new QFrame(parent);
            line->setFrameShape(QFrame::HLine);
            line->setFrameShadow(QFrame::Plain);
            line->setLineWidth(1);
            QPalette grey = line->palette();
            grey.setColor(QPalette::WindowText, QColor(128, 128, 128));
            line->setPalette(grey);
            widget = line;
            break;
        }
        case Kind::Menu:
            if (main_) {
                QMenu *outer = menuNamed(design.container);
                menu = outer ? outer->addMenu(caption) : main_->menuBar()->addMenu(caption);
                menu->setObjectName(nameOf(design.id));
                menus_[std::string(design.id)] = menu;
                action = menu->menuAction();
            }
            break;
        case Kind::MenuItem:
            if (QMenu *in = menuNamed(design.container)) {
                action = in->addAction(caption);
                action->setObjectName(nameOf(design.id));
            }
            break;
        case Kind::Separator:
            if (QMenu *in = menuNamed(design.container)) {
                action = in->addSeparator();
                action->setObjectName(nameOf(design.id));
            }
            break;
        case Kind::Timer:
            timer = new QTimer(window_);
            timer->setObjectName(nameOf(design.id));
            break;
        }

        auto peer = std::make_unique<QtControlPeer>(control, widget, action, menu, timer);
        QObject *context = peer->context();
        switch (design.kind) {
        case Kind::Button:
            QObject::connect(static_cast<QPushButton *>(widget), &QPushButton::clicked, context,
                             [&control] { control.userClick(); });
            break;
        case Kind::Link:
            QObject::connect(static_cast<LinkLabel *>(widget), &LinkLabel::activated, context,
                             [&control] { control.userClick(); });
            break;
        case Kind::TextBox:
            QObject::connect(static_cast<QLineEdit *>(widget), &QLineEdit::textEdited, context,
                             [&control](const QString &text) { control.userText(toU16(text)); });
            break;
        case Kind::MenuItem:
            if (action)
                QObject::connect(action, &QAction::triggered, context, [&control] { control.userClick(); });
            break;
        case Kind::Timer:
            QObject::connect(timer, &QTimer::timeout, context, [&control] { control.tick(); });
            break;
        default:
            break;
        }

        if (widget) {
            widget->setObjectName(nameOf(design.id));
            peer->setPlace(control.place());
            // The window's font, unless the control has a size or style of
            // its own.
            if (!(design.font == form_.design().font))
                widget->setFont(fontOf(design.font));
            widgets_[std::string(design.id)] = widget;
            if (design.tabIndex >= 0)
                tabStops_.push_back({design.tabIndex, widget});
        }
        if (!control.Enabled())
            peer->setEnabled(false);
        if (!control.Visible())
            peer->setVisible(false);
        if (!control.accessibleName().empty())
            peer->setAccessibleName(control.accessibleName());
        if (control.Value() != 0)
            peer->setValue(control.Value());
        return peer;
    }

    void finishBuilding() override
    {
        // Tab follows the table's order.
        std::stable_sort(tabStops_.begin(), tabStops_.end(),
                         [](const TabStop &a, const TabStop &b) { return a.tabIndex < b.tabIndex; });
        for (size_t i = 0; i + 1 < tabStops_.size(); ++i)
            QWidget::setTabOrder(tabStops_[i].widget, tabStops_[i + 1].widget);
        // The client area is exactly the laid-out size; the frame does not
        // resize.
        if (main_) {
            QWidget *client = clientArea();
            main_->setFixedSize(client->width(), client->height() + menuBarHeight());
        }
        if (form_.design().flags & forms::CentreOnScreen)
            centreOnScreen();
        if (!form_.design().focus.empty()) {
            const auto focused = widgets_.find(form_.design().focus);
            if (focused != widgets_.end() && focused->second)
                focused->second->setFocus();
        }
    }

    WindowHandle handle() override { return handleOf(window_); }

    void setCaption(const std::u16string &caption) override
    {
        if (window_)
            window_->setWindowTitle(toQString(caption));
    }

    void setIcon(forms::Icon icon) override
    {
        if (window_)
            window_->setWindowIcon(icon == forms::Icon::Program ? resources::programIcon() : QIcon());
    }

    void setClientSize(int width, int height) override
    {
        if (!window_)
            return;
        QSize size(px(width), px(height));
        if (main_) {
            clientArea()->setFixedSize(size);
            size.rheight() += menuBarHeight();
        }
        if (size == window_->size())
            return;
        // A window is moved by its frame's corner.
        const QPoint centre = window_->frameGeometry().center();
        const QSize frame = window_->frameGeometry().size() - window_->size();
        window_->setFixedSize(size);
        if (window_->isVisible()) {
            QRect placed(QPoint(), size + frame);
            placed.moveCenter(centre);
            window_->move(placed.topLeft());
        } else if (form_.design().flags & forms::CentreOnScreen) {
            centreOnScreen();
        }
    }

    void show() override
    {
        if (!window_)
            return;
        window_->show();
        if (main_)
            main_->activateWindow();
    }

    void showModal() override
    {
        if (dialog_) {
            QPointer<Dialog> dialog = dialog_;
            dialog->exec();
            // The program's end also ends this loop, with the window still up.
            if (dialog && dialog->isVisible())
                dialog->hide();
            form_.faceHidden();
        } else if (main_) {
            QPointer<MainWindow> window = main_;
            QEventLoop loop;
            window->modalLoop = &loop;
            if (!window->isVisible())
                window->setWindowModality(Qt::ApplicationModal);
            window->show();
            window->activateWindow();
            loop.exec(QEventLoop::DialogExec);
            if (!window)
                return;
            window->modalLoop = nullptr;
            if (window->isVisible())
                window->hide();
            window->setWindowModality(Qt::NonModal);
            form_.faceHidden();
        }
    }

    void hide() override
    {
        // Hiding a dialog also ends its modal loop.
        if (window_)
            window_->hide();
    }

    void close() override
    {
        if (dialog_ && dialog_->isVisible())
            dialog_->done(0);
        else if (window_)
            window_->hide();
    }

private:
    // The widget that controls of the container id stand in: a frame, or the
    // client area.
    QWidget *containerOf(std::string_view id)
    {
        if (!id.empty()) {
            const auto frame = frames_.find(id);
            if (frame != frames_.end() && frame->second)
                return frame->second;
        }
        return clientArea();
    }

    // The main window's client area is made with its first control, after
    // the menus, as the window was always built.
    QWidget *clientArea()
    {
        if (!client_ && main_) {
            auto *client = new QWidget(main_);
            client->setObjectName(QStringLiteral("client"));
            client->setFixedSize(px(form_.design().width), px(form_.design().height));
            main_->setCentralWidget(client);
            client_ = client;
        }
        return client_;
    }

    QMenu *menuNamed(std::string_view id) const
    {
        if (id.empty())
            return nullptr;
        const auto menu = menus_.find(id);
        return menu != menus_.end() ? menu->second.data() : nullptr;
    }

    int menuBarHeight() const { return main_ && main_->menuWidget() ? main_->menuBar()->sizeHint().height() : 0; }

    // Centred on the available part of the owner's screen, or of the primary
    // screen; placed by hand, which also keeps Qt from centring it over its
    // owner instead.
    void centreOnScreen()
    {
        QScreen *screen = owner_ ? owner_->screen() : QGuiApplication::primaryScreen();
        if (!screen || !window_)
            return;
        const QPoint centre = screen->availableGeometry().center();
        if (main_) {
            window_->move(centre - QPoint(window_->width() / 2, window_->height() / 2));
        } else {
            QRect area(QPoint(), window_->size());
            area.moveCenter(centre);
            window_->move(area.topLeft());
        }
    }

    struct TabStop {
        int tabIndex;
        QPointer<QWidget> widget;
    };

    Form &form_;
    QPointer<QWidget> owner_;
    QPointer<MainWindow> main_;
    QPointer<Dialog> dialog_;
    QPointer<QWidget> window_;
    QPointer<QWidget> client_; // the main window's client area, or the dialog itself
    std::map<std::string, QPointer<QWidget>, std::less<>> frames_;
    std::map<std::string, QPointer<QMenu>, std::less<>> menus_;
    std::map<std::string, QPointer<QWidget>, std::less<>> widgets_;
    std::vector<TabStop> tabStops_;
};

} // namespace

std::unique_ptr<forms::FormPeer> QtFace::createForm(forms::Form &form, WindowHandle owner)
{
    return std::make_unique<QtFormPeer>(form, widgetOf(owner));
}

int QtFace::run()
{
    return QApplication::exec();
}

void QtFace::quit(int status)
{
    QCoreApplication::exit(status);
}

} // namespace platform::qt
