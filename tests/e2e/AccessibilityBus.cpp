#include "tests/e2e/AccessibilityBus.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusVariant>

namespace e2e {
namespace {

const QString AccessibleInterface = QStringLiteral("org.a11y.atspi.Accessible");

// Bits of an object's state set, as at-spi numbers them.
constexpr uint StateFocusable = 11;
constexpr uint StateFocused = 12;

bool hasState(const QList<uint> &words, uint state)
{
    const qsizetype word = state / 32;
    return word < words.size() && (words[word] & (1u << (state % 32))) != 0;
}

} // namespace

AccessibilityBus::AccessibilityBus()
{
    const QDBusMessage reply = QDBusConnection::sessionBus().call(
        QDBusMessage::createMethodCall(QStringLiteral("org.a11y.Bus"), QStringLiteral("/org/a11y/bus"),
                                       QStringLiteral("org.a11y.Bus"), QStringLiteral("GetAddress")),
        QDBus::Block, 10000);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
        problem_ = QStringLiteral("no accessibility bus: ") + reply.errorMessage();
        return;
    }
    bus_ = std::make_unique<QDBusConnection>(
        QDBusConnection::connectToBus(reply.arguments().at(0).toString(), QStringLiteral("a11y")));
    if (!bus_->isConnected())
        problem_ = QStringLiteral("cannot reach the accessibility bus: ") + bus_->lastError().message();
}

AccessibilityBus::~AccessibilityBus()
{
    bus_.reset();
    QDBusConnection::disconnectFromBus(QStringLiteral("a11y"));
}

QList<AccessibilityBus::Node> AccessibilityBus::windows(const QString &title)
{
    QList<Node> found;
    if (!bus_)
        return found;
    for (const Node &app :
         children({QStringLiteral("org.a11y.atspi.Registry"), QStringLiteral("/org/a11y/atspi/accessible/root")})) {
        for (const Node &window : children(app)) {
            if (name(window) == title)
                found << window;
        }
    }
    return found;
}

QList<AccessibilityBus::Item> AccessibilityBus::itemsIn(const Node &window)
{
    QList<Item> items;
    collect(window, items, 0);
    return items;
}

QStringList AccessibilityBus::textsOf(const QString &title)
{
    QStringList texts;
    for (const Node &window : windows(title)) {
        for (const Item &each : itemsIn(window)) {
            if (!each.name.isEmpty())
                texts << each.name;
        }
    }
    return texts;
}

std::optional<AccessibilityBus::Item> AccessibilityBus::focusedIn(const QString &title)
{
    for (const Node &window : windows(title)) {
        for (const Item &each : itemsIn(window)) {
            if (each.focused)
                return each;
        }
    }
    return std::nullopt;
}

bool AccessibilityBus::doAction(const Node &node, const QString &actionName)
{
    const QDBusMessage names = callOn(node, QStringLiteral("org.a11y.atspi.Action"), QStringLiteral("GetActions"));
    if (names.type() != QDBusMessage::ReplyMessage || names.arguments().isEmpty())
        return false;
    // An array of (name, description, key binding).
    const QDBusArgument list = names.arguments().at(0).value<QDBusArgument>();
    int index = -1;
    int i = 0;
    list.beginArray();
    while (!list.atEnd()) {
        QString actionNameHere, description, keys;
        list.beginStructure();
        list >> actionNameHere >> description >> keys;
        list.endStructure();
        if (index < 0 && actionNameHere.compare(actionName, Qt::CaseInsensitive) == 0)
            index = i;
        ++i;
    }
    list.endArray();
    if (index < 0)
        return false;
    const QDBusMessage done =
        callOn(node, QStringLiteral("org.a11y.atspi.Action"), QStringLiteral("DoAction"), {index});
    return done.type() == QDBusMessage::ReplyMessage && !done.arguments().isEmpty()
        && done.arguments().at(0).toBool();
}

QDBusMessage AccessibilityBus::callOn(const Node &node, const QString &interface, const QString &member,
                                      const QVariantList &args)
{
    QDBusMessage message = QDBusMessage::createMethodCall(node.service, node.path, interface, member);
    message.setArguments(args);
    return bus_->call(message, QDBus::Block, 5000);
}

QList<AccessibilityBus::Node> AccessibilityBus::children(const Node &node)
{
    const QDBusMessage reply = callOn(node, AccessibleInterface, QStringLiteral("GetChildren"));
    QList<Node> nodes;
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return nodes;
    const QDBusArgument list = reply.arguments().at(0).value<QDBusArgument>();
    list.beginArray();
    while (!list.atEnd()) {
        Node child;
        QDBusObjectPath path;
        list.beginStructure();
        list >> child.service >> path;
        list.endStructure();
        child.path = path.path();
        nodes << child;
    }
    list.endArray();
    return nodes;
}

QString AccessibilityBus::name(const Node &node)
{
    const QDBusMessage reply = callOn(node, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"),
                                      {AccessibleInterface, QStringLiteral("Name")});
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return {};
    return reply.arguments().at(0).value<QDBusVariant>().variant().toString();
}

AccessibilityBus::Item AccessibilityBus::item(const Node &node)
{
    Item found;
    found.node = node;
    found.name = name(node);
    const QDBusMessage role = callOn(node, AccessibleInterface, QStringLiteral("GetRoleName"));
    if (role.type() == QDBusMessage::ReplyMessage && !role.arguments().isEmpty())
        found.role = role.arguments().at(0).toString();
    const QDBusMessage state = callOn(node, AccessibleInterface, QStringLiteral("GetState"));
    if (state.type() == QDBusMessage::ReplyMessage && !state.arguments().isEmpty()) {
        const QList<uint> words = qdbus_cast<QList<uint>>(state.arguments().at(0));
        found.focusable = hasState(words, StateFocusable);
        found.focused = hasState(words, StateFocused);
    }
    return found;
}

void AccessibilityBus::collect(const Node &node, QList<Item> &items, int depth)
{
    if (depth > 8)
        return;
    for (const Node &child : children(node)) {
        items << item(child);
        collect(child, items, depth + 1);
    }
}

} // namespace e2e
