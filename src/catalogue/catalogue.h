#pragma once
#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

namespace volnor::catalogue {

// A node carries nothing but its text, which is its only identity.
struct Node {
    QString text;
    std::vector<Node> children;
};

// One row of the group download table: a node text and the archives a download of it fetches.
struct GroupRow {
    QString key;
    QStringList urls;
};

// The parts of one entry of menulist ("title|url").
struct Entry {
    QString namepro;   // the leaf's text
    QString webpro;    // the archive URL
    QString shortweb;  // the archive's local file name
};

// The built-in product tree: the top-level nodes in display order.
const std::vector<Node>& tree();

// The group download table, in table order.
const std::vector<GroupRow>& grouplist();

// Fills the entry list anew: one "title|url" string per leaf, leaves in depth-first order.
void menuload(QStringList& menulist);

// Splits an entry at its first "|".
Entry splitEntry(const QString& entry);

// The local file name of an archive: the URL less its first 23 characters.
QString shortweb(const QString& webpro);

// Node texts and table keys are compared exactly: same length, same UTF-16 code units.
bool sameText(const QString& a, const QString& b);

// Lookup by node text, in table order (titles and keys are unique). A text that is both a title and
// a key matches in both: the download fetches the entry's archive first, then the row's.
std::optional<Entry> findEntry(const QStringList& menulist, const QString& text);
const GroupRow* findRow(const QString& text);  // nullptr when no key matches

}  // namespace volnor::catalogue
