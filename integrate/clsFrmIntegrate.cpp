#include "integrate/clsFrmIntegrate.h"

#include "integrate/CommandRegistration.h"
#include "integrate/IntegrateTexts.h"
#include "platform/ProgramState.h"
#include "platform/Twips.h"
#include "platform/WindowFont.h"

#include <QGroupBox>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPointer>
#include <QPushButton>
#include <QShowEvent>

#include <algorithm>

namespace integrate {

ScreenCheckBox::ScreenCheckBox(QWidget *parent) : QCheckBox(parent)
{
    setTristate(true);
}

void ScreenCheckBox::nextCheckState()
{
    setCheckState(checkState() == Qt::Checked ? Qt::Unchecked : Qt::Checked);
}

ScreenLabel::ScreenLabel(QWidget *parent) : QLabel(parent)
{
    setFocusPolicy(Qt::NoFocus);
}

void ScreenLabel::mousePressEvent(QMouseEvent *event)
{
    pressed_ = event->button() == Qt::LeftButton;
    event->accept();
}

void ScreenLabel::mouseReleaseEvent(QMouseEvent *event)
{
    const bool click = pressed_ && event->button() == Qt::LeftButton && rect().contains(event->position().toPoint());
    pressed_ = false;
    event->accept();
    if (click)
        Q_EMIT clicked();
}

} // namespace integrate

namespace {

using platform::twipsRect;

struct BoxPlace {
    int boxLeft, boxTop, labelLeft, labelTop, labelWidth;
};

// Box and label of each index, relative to its frame.
constexpr BoxPlace boxPlaces[clsFrmIntegrate::BoxCount] = {
    {210, 345, 495, 375, 1200},  {1815, 345, 2100, 375, 1470}, {3600, 315, 3870, 345, 1005},
    {210, 690, 495, 720, 1320},  {1815, 690, 2100, 720, 1470}, {3600, 660, 3870, 690, 1020},
    {210, 345, 495, 375, 930},   {1815, 345, 2100, 375, 1500}, {3630, 345, 3900, 375, 930},
    {210, 690, 495, 720, 1320},  {1815, 690, 2100, 720, 1515}, {3630, 690, 3900, 720, 930},
};

constexpr int BoxHeight = 255;
constexpr int LabelHeight = 270;

// The dialog's client area, the frames, the hint and the buttons.
constexpr QRect designSize = twipsRect(0, 0, 7020, 3240);
constexpr QRect frameRects[2] = {twipsRect(315, 240, 5115, 1185), twipsRect(315, 1575, 5130, 1185)};
constexpr QRect restartRect = twipsRect(495, 2850, 5670, 315);
constexpr QRect okRect = twipsRect(5820, 360, 1000, 325);
constexpr QRect cancelRect = twipsRect(5820, 840, 1000, 325);

QRect boxRect(int i)
{
    const BoxPlace &p = boxPlaces[i];
    return twipsRect(p.boxLeft, p.boxTop, i == 6 ? 220 : 255, BoxHeight);
}

QRect labelRect(int i)
{
    const BoxPlace &p = boxPlaces[i];
    return twipsRect(p.labelLeft, p.labelTop, p.labelWidth, LabelHeight);
}

// The width a label needs to show its whole text in its own font.
int neededWidth(const QLabel *label)
{
    if (label->text().isEmpty())
        return 0;
    return qMax(label->sizeHint().width(), label->fontMetrics().horizontalAdvance(label->text()));
}

Qt::CheckState toCheckState(qint16 value)
{
    switch (value) {
    case 0:
        return Qt::Unchecked;
    case 1:
        return Qt::Checked;
    case 2:
        return Qt::PartiallyChecked;
    default:
        throw host::Failure(380, QStringLiteral("Invalid property value"));
    }
}

qint16 toValue(Qt::CheckState state)
{
    switch (state) {
    case Qt::Unchecked:
        return 0;
    case Qt::Checked:
        return 1;
    case Qt::PartiallyChecked:
        break;
    }
    return 2;
}

} // namespace

clsFrmIntegrate::clsFrmIntegrate(host::HostFactory &host, platform::PlatformServices &desktop,
                                 std::function<void()> mainFormUnload, QWidget *parent)
    : QDialog(parent), host_(host), desktop_(desktop), mainFormUnload_(std::move(mainFormUnload))
{
    setObjectName(QStringLiteral("frmIntegrate"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                   | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(designSize.size());
    // The windows' one face; the designed places are made for it.
    setFont(platform::windowFont());
    buildControls();
    setDesignTexts();
}

clsFrmIntegrate::~clsFrmIntegrate() = default;

void clsFrmIntegrate::buildControls()
{
    // Created in tab order where it matters: the boxes of the toolbar
    // frame first, so that the dialog opens with the first box focused.
    // The frames hold nothing but their boxes and labels; an empty label
    // over the first pair would only swallow clicks meant for it.
    for (int f = 0; f < 2; ++f) {
        auto *frame = new QGroupBox(this);
        frame->setObjectName(QStringLiteral("Frame1_%1").arg(f));
        frame->setGeometry(frameRects[f]);
        Frame1_[f] = frame;
        for (int i = f * 6; i < f * 6 + 6; ++i) {
            auto *box = new integrate::ScreenCheckBox(frame);
            box->setObjectName(QStringLiteral("chkScreen_%1").arg(i));
            box->setGeometry(boxRect(i));
            chkScreen_[i] = box;
            auto *label = new integrate::ScreenLabel(frame);
            label->setObjectName(QStringLiteral("lblScreen_%1").arg(i));
            label->setGeometry(labelRect(i));
            lblScreen_[i] = label;
            // The box's click handling runs on every real change of its
            // state, whoever makes it; setting the same state signals nothing.
            connect(box, &QCheckBox::stateChanged, this, [this, i] { chkScreen_Click(i); });
            connect(label, &integrate::ScreenLabel::clicked, this, [this, i] { lblScreen_Click(i); });
        }
    }

    lblRestart_ = new QLabel(this);
    lblRestart_->setObjectName(QStringLiteral("lblRestart"));
    lblRestart_->setGeometry(restartRect);

    cmdOK_ = new QPushButton(this);
    cmdOK_->setObjectName(QStringLiteral("cmdOK"));
    cmdOK_->setGeometry(okRect);
    cmdOK_->setDefault(true);
    connect(cmdOK_, &QPushButton::clicked, this, [this] { cmdOK_Click(); });

    cmdCancel_ = new QPushButton(this);
    cmdCancel_->setObjectName(QStringLiteral("cmdCancel"));
    cmdCancel_->setGeometry(cancelRect);
    connect(cmdCancel_, &QPushButton::clicked, this, [this] { cmdCancel_Click(); });

    // Tab: toolbar boxes left to right, Tools-menu boxes from the last one
    // back to the first, then Close and Cancel.
    QList<QWidget *> order;
    for (int i = 0; i <= 5; ++i)
        order << chkScreen_[i];
    for (int i = 11; i >= 6; --i)
        order << chkScreen_[i];
    order << cmdOK_ << cmdCancel_;
    for (qsizetype i = 0; i + 1 < order.size(); ++i)
        setTabOrder(order[i], order[i + 1]);
}

void clsFrmIntegrate::setDesignTexts()
{
    // The captions the dialog shows until loading replaces them.
    const QStringList english = integrate::englishTexts();
    setWindowTitle(english[5]);
    Frame1_[0]->setTitle(english[12]);
    Frame1_[1]->setTitle(english[13]);
    for (int i = 0; i < BoxCount; ++i)
        showViewName(i, english[6 + i % 6], 0);
    lblRestart_->setText(english[16]);
    cmdOK_->setText(english[14]);
    cmdCancel_->setText(english[15]);
    fitToTexts();
}

void clsFrmIntegrate::showViewName(int Index, const QString &viewName, qint16 language)
{
    lblScreen_.at(Index)->setText(viewName);
    // The box shows no text of its own: without a name, a screen reader
    // could tell the twelve boxes apart only by their frames.
    const QStringList places = integrate::placeNames(language);
    chkScreen_.at(Index)->setAccessibleName(viewName.isEmpty() || places.isEmpty()
                                                ? viewName
                                                : viewName + QStringLiteral(", ") + places.at(Index / 6));
}

void clsFrmIntegrate::fitToTexts()
{
    // Each row of pairs is walked from left to right; a label that needs
    // more room takes it, and the pairs after it move right by as much.
    int framesRight = 0;
    int designedFramesRight = 0;
    for (int f = 0; f < 2; ++f) {
        int right = 0;
        int designedRight = 0;
        for (int row = 0; row < 2; ++row) {
            int shift = 0;
            for (int column = 0; column < 3; ++column) {
                const int i = f * 6 + row * 3 + column;
                QRect label = labelRect(i);
                designedRight = qMax(designedRight, label.right());
                const QRect box = boxRect(i).translated(shift, 0);
                label.translate(shift, 0);
                const int extra = qMax(0, neededWidth(lblScreen_[i]) - label.width());
                label.setWidth(label.width() + extra);
                shift += extra;
                chkScreen_[i]->setGeometry(box);
                lblScreen_[i]->setGeometry(label);
                right = qMax(right, qMax(box.right(), label.right()));
            }
        }
        // The frame keeps its designed margin to the right of its pairs,
        // and is as wide as its caption needs.
        QRect frame = frameRects[f];
        const int margin = frame.width() - 1 - designedRight;
        frame.setWidth(std::max({frame.width(), right + 1 + margin, Frame1_[f]->minimumSizeHint().width()}));
        Frame1_[f]->setGeometry(frame);
        framesRight = qMax(framesRight, frame.right());
        designedFramesRight = qMax(designedFramesRight, frameRects[f].right());
    }

    // The buttons keep their distance from the frames.
    const int buttonsShift = qMax(0, framesRight - designedFramesRight);
    cmdOK_->setGeometry(okRect.translated(buttonsShift, 0));
    cmdCancel_->setGeometry(cancelRect.translated(buttonsShift, 0));

    QRect hint = restartRect;
    hint.setWidth(qMax(hint.width(), neededWidth(lblRestart_)));
    lblRestart_->setGeometry(hint);

    // The dialog keeps its designed margin right of the buttons, and gives
    // the hint as much.
    const int margin = designSize.width() - 1 - okRect.right();
    const int width = std::max({designSize.width(), cmdOK_->geometry().right() + 1 + margin,
                            cmdCancel_->geometry().right() + 1 + margin, hint.right() + 1 + margin});
    const QSize size(width, designSize.height());
    if (size == this->size())
        return;
    // A window is moved by its frame's corner.
    const QPoint centre = frameGeometry().center();
    const QSize frame = frameGeometry().size() - this->size();
    setFixedSize(size);
    if (isVisible()) {
        QRect placed(QPoint(), size + frame);
        placed.moveCenter(centre);
        move(placed.topLeft());
    }
}

qint16 clsFrmIntegrate::chkScreenValue(int Index) const
{
    return toValue(chkScreen_.at(Index)->checkState());
}

void clsFrmIntegrate::setChkScreenValue(int Index, qint16 value)
{
    chkScreen_.at(Index)->setCheckState(toCheckState(value));
}

platform::ErrorTrap clsFrmIntegrate::trap(const char *procedure)
{
    // Title and contact line are read when a report is shown: the texts
    // may change while the procedure runs.
    return platform::ErrorTrap(
        desktop_, QStringLiteral("in frmIntegrate: Sub ") + QLatin1String(procedure) + QStringLiteral(" - Line # "),
        [this] { return appName_; }, [this] { return texts_.value(0); });
}

template <class Body>
void clsFrmIntegrate::runEvent(platform::ErrorTrap &errorTrap, Body &&body)
{
    try {
        errorTrap.run(std::forward<Body>(body));
    } catch (const host::Failure &) {
        // The report itself failed; an event procedure has no caller to
        // pass that to, so the event simply ends.
    }
}

// --- loading and unloading ---------------------------------------------------

void clsFrmIntegrate::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (!loaded_) {
        loaded_ = true;
        Form_Load();
    }
}

void clsFrmIntegrate::done(int result)
{
    if (loaded_) {
        loaded_ = false;
        Form_Unload();
        QDialog::done(result);
    } else if (isVisible()) {
        QDialog::done(result);
    }
    // Otherwise the dialog is closed already (the restart path closes it
    // before Close does): nothing more to do.
}

void clsFrmIntegrate::keyPressEvent(QKeyEvent *event)
{
    // Escape presses Cancel, so that it closes the way Cancel does.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        if (cmdCancel_->isEnabled())
            cmdCancel_->click();
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void clsFrmIntegrate::SetLanguage(qint16 language)
{
    texts_ = QStringList(integrate::TextCount, QString());
    if (language == 0)
        LoadEnglishTexts();
    else if (language == 1)
        LoadFrenchTexts();
}

void clsFrmIntegrate::LoadEnglishTexts()
{
    texts_ = integrate::englishTexts();
}

void clsFrmIntegrate::LoadFrenchTexts()
{
    texts_ = integrate::frenchTexts();
}

void clsFrmIntegrate::Form_Load()
{
    platform::ErrorTrap t = trap("Form_Load");
    t.at(13940);
    runEvent(t, [&] {
        t.at(13960);
        SetLanguage(language_);
        t.at(13980);
        auxCommands_ = host_.createAuxCommands();

        // Both boxes of a view are enabled by the view's property.
        for (int i = 0; i < 6; ++i) {
            t.at(14000 + 20 * i);
            chkScreen_[i]->setEnabled(screens_[i]);
        }
        for (int i = 0; i < 6; ++i) {
            t.at(14120 + 20 * i);
            chkScreen_[i + 6]->setEnabled(screens_[i]);
        }

        // Setting a box to what ACT! reports runs its click handling when
        // the state changes.
        t.at(14240);
        for (int i = 0; i <= 5; ++i) {
            t.at(14260);
            setChkScreenValue(i, auxCommands_->AuxCommandExistsInToolbar(static_cast<qint16>(i + 1), appName_));
            t.at(14280);
            showViewName(i, texts_[i + 6], language_);
            t.at(14300);
        }
        t.at(14320);
        for (int i = 0; i <= 5; ++i) {
            t.at(14340);
            setChkScreenValue(i + 6,
                              auxCommands_->AuxCommandExistsInToolsMenu(static_cast<qint16>(i + 1), appName_));
            t.at(14360);
            showViewName(i + 6, texts_[i + 6], language_);
            t.at(14380);
        }
        t.at(14400);
        for (int i = 0; i <= 1; ++i) {
            t.at(14420);
            Frame1_[i]->setTitle(texts_[i + 12]);
            t.at(14440);
        }

        // The boxes as ACT! has them are no change of the user's.
        t.at(14460);
        screensChanged_ = false;
        t.at(14480);
        setWindowTitle(texts_[5]);
        t.at(14500);
        cmdOK_->setText(texts_[14]);
        t.at(14520);
        cmdCancel_->setText(texts_[15]);
        t.at(14540);
        lblRestart_->setText(texts_[16]);
        t.at(14560);
        setWindowIcon(integrateIcon_);
    });
    // The captions may be longer now, also after a failure half way.
    fitToTexts();
}

void clsFrmIntegrate::Form_Unload()
{
    platform::ErrorTrap t = trap("Form_Unload");
    t.at(15880);
    runEvent(t, [&] {
        t.at(15900);
        auxCommands_.release();
    });
}

void clsFrmIntegrate::cmdCancel_Click()
{
    // Every change is in ACT! already: nothing to undo, nothing to ask.
    platform::ErrorTrap t = trap("cmdCancel_Click");
    t.at(14640);
    runEvent(t, [&] {
        t.at(14660);
        done(QDialog::Rejected);
    });
}

void clsFrmIntegrate::lblScreen_Click(int Index)
{
    platform::ErrorTrap t = trap("lblScreen_Click");
    t.at(15980);
    runEvent(t, [&] {
        // The label toggles its box even when the box is disabled.
        t.at(16000);
        if (chkScreenValue(Index) == 1) {
            t.at(16020);
            setChkScreenValue(Index, 0);
        } else {
            t.at(16060);
            setChkScreenValue(Index, 1);
        }
    });
}

// --- applying box changes in ACT! ---------------------------------------------

void clsFrmIntegrate::chkScreen_Click(int Index)
{
    platform::ErrorTrap t = trap("chkScreen_Click");
    t.at(14980);
    runEvent(t, [&] {
        t.at(15000);
        screensChanged_ = true;
        t.at(15020);
        if (auxCommands_->AuxCommandExists(appName_) == 0)
            CheckCommand();
        t.at(15040);
        if (Index < 6) {
            const auto view = static_cast<qint16>(Index + 1);
            t.at(15060);
            if (chkScreenValue(Index) == 0) {
                t.at(15080);
                lastAuxResult_ = auxCommands_->RemoveAuxCommandFromToolbar(view, appName_);
            } else {
                t.at(15120);
                lastAuxResult_ = auxCommands_->AddAuxCommandToToolbar(view, appName_);
            }
        } else {
            const auto view = static_cast<qint16>(Index - 5);
            t.at(15180);
            if (chkScreenValue(Index) == 0) {
                t.at(15200);
                lastAuxResult_ = auxCommands_->RemoveAuxCommandFromToolsMenu(view, appName_);
            } else {
                t.at(15240);
                lastAuxResult_ = auxCommands_->AddAuxCommandToToolsMenu(view, appName_);
            }
        }
    });
}

void clsFrmIntegrate::CheckCommand()
{
    platform::ErrorTrap t = trap("CheckCommand");
    t.at(15660);
    t.run([&] {
        t.at(15680);
        const integrate::CommandRegistration r = integrate::registrationValues(
            appName_, texts_.value(1), desktop_.ProgramFolder(), desktop_.ExecutableName(),
            integrate::nativePathForm());
        lastAuxResult_ = auxCommands_->AddAuxCommand(r.name, r.executable, r.folder, r.caption, r.tooltip, r.icon,
                                                      r.largeIcon, r.flags);
        t.at(15700);
        if (lastAuxResult_ != 0)
            MessAddFailed();
    });
}

void clsFrmIntegrate::MessAddFailed()
{
    platform::ErrorTrap t = trap("MessAddFailed");
    t.at(15780);
    t.run([&] {
        t.at(15800);
        desktop_.MsgBox(texts_.value(4), platform::vbOKOnly, appName_);
    });
}

void clsFrmIntegrate::cmdOK_Click()
{
    platform::ErrorTrap t = trap("cmdOK_Click");
    t.at(14740);
    QPointer<clsFrmIntegrate> self(this);
    runEvent(t, [&] {
        t.at(14760);
        if (screensChanged_) {
            t.at(14780);
            if (lastAuxResult_ != 0) {
                t.at(14800);
                MessAddFailed();
            } else {
                t.at(14840);
                Message();
                // The main window's restart routine runs inside; should it
                // have destroyed the dialog, there is nothing left to close.
                if (!self)
                    return;
            }
        }
        t.at(14900);
        done(QDialog::Accepted);
    });
}

void clsFrmIntegrate::Message()
{
    platform::ErrorTrap t = trap("Message");
    t.at(15360);
    t.run([&] {
        t.at(15380);
        restartAnswer_ = host::toInt16(desktop_.MsgBox(texts_.value(2) + QStringLiteral("\r\n") + texts_.value(3),
                                                      platform::vbYesNo, appName_));
        // Whatever the answer, the boxes are read again from ACT!.
        t.at(15400);
        Form_Load();
        t.at(15420);
        if (restartAnswer_ == platform::vbNo)
            return;
        t.at(15480);
        if (restartAnswer_ == platform::vbYes) {
            t.at(15500);
            program::RestartAct = true;
            t.at(15520);
            hide();
            // The main window closes ACT!, opens its database again and
            // ends the program shortly after.
            t.at(15540);
            QPointer<clsFrmIntegrate> self(this);
            const std::function<void()> unloadMainForm = mainFormUnload_;
            if (unloadMainForm)
                unloadMainForm();
            if (!self)
                return;
            t.at(15560);
            done(QDialog::Accepted);
        }
    });
}
