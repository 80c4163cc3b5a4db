#pragma once

// The conversation between the program and the stand-in ACT! on the session
// bus. The client (host/dbus/DBusHost) and the service (standin/) both read
// their names from here.
//
// Widths: a 16-bit number crosses as D-Bus int16 ('n'), a 32-bit number as
// int32 ('i'), a text as 's', a Boolean as 'b', an object as 'o'.
// Texts are Unicode; a text with a NUL character or an unpaired surrogate
// cannot cross unaltered and is refused by whichever side would send it.
//
// The program works with one host process: calls go to the well-known name
// below until a host first answers, then to that host's unique connection
// name, so that a stand-in started later on the same name is never reached
// (see host/dbus/DBusHost.h). The stand-in takes the name only when nobody
// holds it, and never lets another take it from it.
//
// Objects, their interfaces and members (arguments -> results):
//
//   /Factory        org.pennaroc.ActStandin.Factory
//     CreateObject(s progId) -> o        "ACTOLE.APPOBJECT" gives /Application,
//                                        "ACTOLE.AUXCMDS" gives /AuxCommands;
//                                        any other ProgID is an error reply.
//   /Application    org.pennaroc.ActStandin.Application
//     OpenFile(s path)                   "" addresses the open database (error
//                                        reply when none is open); a path opens
//                                        that stand-in database instead.
//     Views() -> o                       /Views
//     GetOpenDBName() -> s               absolute path of the open database,
//                                        "" when none is open
//     Command(n command)                 150 closes the database (event 10),
//                                        replies, then the stand-in ends; other
//                                        commands are error replies.
//   /Views          org.pennaroc.ActStandin.Views
//     Create(n viewType, s name) -> o    /View/<viewType> for 1..6, else error
//   /View/1 .. /View/6   org.pennaroc.ActStandin.View
//     Sales() -> o                       /Sales
//   /Sales          org.pennaroc.ActStandin.SalesList
//     GetCurrentRow() -> i               current row, -1 for none
//     GetField(n field, i row) -> s text, i row
//                                        error reply for a field other than 36
//                                        or a row that does not exist; a text
//                                        of more than InlineTextBytes is the
//                                        error TextByDescriptor instead
//     GetFieldByDescriptor(n field, i row) -> h text, i row
//                                        the same, any size up to MaxTextBytes,
//                                        as a sealed in-memory file of UTF-8
//                                        (see BusTexts.h)
//     SetField(n field, i row, s text) -> i result, i row, s text
//                                        result 0 when written, else one of the
//                                        SetField codes below
//     SetFieldByDescriptor(n field, i row, h text) -> i result, i row
//                                        the same with the text's UTF-8 in a
//                                        regular file; the stand-in leaves the
//                                        text as it came, so it is not sent
//                                        back
//   A text of more than MaxTextBytes is the error TextTooLarge, at once.
//   /AuxCommands    org.pennaroc.ActStandin.AuxCommands
//     AuxCommandExistsInToolbar(n view, s name) -> n     0 or 1
//     AuxCommandExistsInToolsMenu(n view, s name) -> n   0 or 1
//     AuxCommandExists(s name) -> n                      0 or 1
//     AddAuxCommand(s name, s executable, s folder, s caption, s tooltip,
//                   s icon, s largeIcon, n flags) -> i  0 when registered (a
//                                        registration with the same name is
//                                        replaced in place)
//     AddAuxCommandToToolbar(n view, s name) -> i
//     RemoveAuxCommandFromToolbar(n view, s name) -> i
//     AddAuxCommandToToolsMenu(n view, s name) -> i
//     RemoveAuxCommandFromToolsMenu(n view, s name) -> i
//                                        0 when done (removing what is not
//                                        there is done too), else a code below
//   /EventControl   org.pennaroc.ActStandin.EventControl
//     Id1(i argument) -> i               1 with a database open and the link
//                                        not refused, else 0
//     Id2()                              acknowledges a notification
//     Id3() -> b                         true when the link is refused
//     signal Event(n id, av args)        id 0..22; 10: the database closed (no
//                                        arguments); 22: the current record
//                                        changed (one argument, the new row, i)
//   /Control        org.pennaroc.ActStandin.Control  (the stand-in's own
//                                        command line, not used by the program)
//     Select(i row)                      makes row current (-1 none), event 22
//     Close()                            closes the database (event 10), ends

#include <QString>

namespace host::dbus::protocol {

inline const QString Service = QStringLiteral("org.pennaroc.ActStandin");

// Every call from the program waits at most this long for the stand-in's
// answer. A host that hangs therefore costs five seconds and a failure, never
// a frozen program.
//
// Giving up waiting does not take the call back: the bus has no way to
// cancel a call, and a host that was only stopped for a while carries out
// what it had received once it runs again. Telling the host that its caller
// gave up would need a change to this conversation that the real ACT! could
// never follow. So a call that changes something (SetField, AddAuxCommand,
// the four toolbar and Tools menu calls, Command) and gets no answer, because
// the time ran out or because the host left the bus with the call in hand,
// fails with 462 and a report that says so and that whether the change was
// made is not known. A call that never reached a host changed nothing, and a
// read changes nothing anyway; those reports keep to what the bus said.
inline constexpr int CallTimeoutMs = 5000;

inline const QString FactoryPath = QStringLiteral("/Factory");
inline const QString ApplicationPath = QStringLiteral("/Application");
inline const QString ViewsPath = QStringLiteral("/Views");
inline const QString ViewPathPrefix = QStringLiteral("/View/");
inline const QString SalesPath = QStringLiteral("/Sales");
inline const QString AuxCommandsPath = QStringLiteral("/AuxCommands");
inline const QString EventControlPath = QStringLiteral("/EventControl");
inline const QString ControlPath = QStringLiteral("/Control");

#define PENNAROC_STANDIN_INTERFACE(name) "org.pennaroc.ActStandin." name
inline const QString FactoryInterface = QStringLiteral(PENNAROC_STANDIN_INTERFACE("Factory"));
inline const QString ApplicationInterface = QStringLiteral(PENNAROC_STANDIN_INTERFACE("Application"));
inline const QString ViewsInterface = QStringLiteral(PENNAROC_STANDIN_INTERFACE("Views"));
inline const QString ViewInterface = QStringLiteral(PENNAROC_STANDIN_INTERFACE("View"));
inline const QString SalesListInterface = QStringLiteral(PENNAROC_STANDIN_INTERFACE("SalesList"));
inline const QString AuxCommandsInterface = QStringLiteral(PENNAROC_STANDIN_INTERFACE("AuxCommands"));
inline const QString EventControlInterface = QStringLiteral(PENNAROC_STANDIN_INTERFACE("EventControl"));
inline const QString ControlInterface = QStringLiteral(PENNAROC_STANDIN_INTERFACE("Control"));

// Error names of the stand-in's error replies.
inline const QString NoDatabaseError = QStringLiteral(PENNAROC_STANDIN_INTERFACE("Error.NoDatabase"));
inline const QString NoSuchRowError = QStringLiteral(PENNAROC_STANDIN_INTERFACE("Error.NoSuchRow"));
inline const QString NoSuchFieldError = QStringLiteral(PENNAROC_STANDIN_INTERFACE("Error.NoSuchField"));
inline const QString InvalidArgumentError = QStringLiteral(PENNAROC_STANDIN_INTERFACE("Error.InvalidArgument"));
inline const QString DatabaseError = QStringLiteral(PENNAROC_STANDIN_INTERFACE("Error.Database"));
// GetField's text is too long to cross inline: ask GetFieldByDescriptor.
inline const QString TextByDescriptorError = QStringLiteral(PENNAROC_STANDIN_INTERFACE("Error.TextByDescriptor"));
// The text is longer than any call may carry (MaxTextBytes).
inline const QString TextTooLargeError = QStringLiteral(PENNAROC_STANDIN_INTERFACE("Error.TextTooLarge"));

// Non-zero results of the write calls.
inline constexpr qint32 ResultDone = 0;
inline constexpr qint32 ResultReadOnly = 1;        // the stand-in runs with --read-only
inline constexpr qint32 ResultTooLong = 2;         // SetField: longer than --max-details
inline constexpr qint32 ResultNoSuchRow = 3;       // SetField: the row does not exist
inline constexpr qint32 ResultNoSuchField = 4;     // SetField: a field other than 36
inline constexpr qint32 ResultBadView = 5;         // place calls: view outside 1..6
inline constexpr qint32 ResultNotRegistered = 6;   // place calls: command not registered
inline constexpr qint32 ResultInvalidName = 7;     // AddAuxCommand / place calls: empty name
inline constexpr qint32 ResultNoDatabase = 8;      // no database is open

inline constexpr qint16 FirstView = 1;
inline constexpr qint16 LastView = 6;

// Why a text cannot cross the bus unaltered, or an empty string when it can.
// The bus carries UTF-8 without NUL characters: a NUL would cut the text, an
// unpaired surrogate would be replaced on the way, and a leading U+FEFF
// would be taken for a byte order mark and dropped by the reader.
inline QString textCrossingProblem(const QString &text)
{
    if (!text.isEmpty() && text.at(0) == QChar(0xFEFF))
        return QStringLiteral("the text begins with U+FEFF, which would be taken for a byte order mark and dropped");
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c.isNull())
            return QStringLiteral("the text contains a NUL character at position %1").arg(i);
        if (c.isHighSurrogate()) {
            if (i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
                ++i;
                continue;
            }
            return QStringLiteral("the text contains an unpaired surrogate at position %1").arg(i);
        }
        if (c.isLowSurrogate())
            return QStringLiteral("the text contains an unpaired surrogate at position %1").arg(i);
    }
    return QString();
}

} // namespace host::dbus::protocol
