#pragma once

// The session's accessibility bus, read as a screen reader reads it: the
// programs started with QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 show their
// windows there, with each control's role, name and states.

#include <QDBusConnection>
#include <QList>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

namespace e2e {

class AccessibilityBus {
public:
    // One accessible object: the program that serves it and its path.
    struct Node {
        QString service;
        QString path;
    };
    // What a screen reader is told about one object.
    struct Item {
        Node node;
        QString role; // as at-spi names it: "link", "check box", "push button", "label"...
        QString name;
        bool focusable = false;
        bool focused = false;
    };

    AccessibilityBus();
    ~AccessibilityBus();
    AccessibilityBus(const AccessibilityBus &) = delete;
    AccessibilityBus &operator=(const AccessibilityBus &) = delete;

    // Why the bus cannot be read, or empty.
    QString problem() const { return problem_; }

    // The top-level windows titled title, in every program on the bus.
    QList<Node> windows(const QString &title);
    // Everything inside a window, depth first.
    QList<Item> itemsIn(const Node &window);
    // The names of everything inside the windows titled title.
    QStringList textsOf(const QString &title);
    // The object that has the keyboard focus inside the windows titled title.
    std::optional<Item> focusedIn(const QString &title);
    // Runs the object's action of that name (as the program names it);
    // false when it has none or the call fails.
    bool doAction(const Node &node, const QString &actionName);

private:
    QDBusMessage callOn(const Node &node, const QString &interface, const QString &member,
                        const QVariantList &args = {});
    QList<Node> children(const Node &node);
    QString name(const Node &node);
    Item item(const Node &node);
    void collect(const Node &node, QList<Item> &items, int depth);

    std::unique_ptr<QDBusConnection> bus_;
    QString problem_;
};

} // namespace e2e
