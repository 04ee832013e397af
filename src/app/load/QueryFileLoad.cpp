#include "QueryFileLoad.h"

#include "db/Connection.h"
#include "db/DataModule.h"
#include "db/DbError.h"
#include "queryfile/QueryFile.h"
#include "share/AppState.h"
#include "share/Error.h"
#include "share/ErrorReport.h"
#include "share/Text.h"

#include <QDir>
#include <QFileInfo>
#include <exception>

namespace vnk::app {

QString checkQueryFileArgument(const QString& firstArgument) {
    const QString quoted = u'"' + firstArgument + u'"';
    if (!QFileInfo(firstArgument).isFile())
        return QStringLiteral("Error - Query file: ") + quoted + QStringLiteral(" not found.");
    if (FileKind(firstArgument) != QStringLiteral(".VNK"))
        return QStringLiteral("Error - Query file: ") + quoted +
               QStringLiteral(" is not a valid file type.");
    return {};
}

LoadedDocument readDocument(const QString& path) {
    const queryfile::QueryDocument doc = queryfile::readQueryDocument(path);
    AppState& st = appState();
    LoadedDocument loaded;
    loaded.isQueryFile = doc.isQueryFile;
    if (doc.isQueryFile && !doc.valid) {
        ReportError(queryfile::kInvalidQueryFileMessage);
        loaded.refused = true;
        return loaded;
    }
    loaded.text = queryfile::editorText(doc.lines);
    if (doc.isQueryFile) {
        loaded.connName = doc.connName;
        loaded.connString = doc.connString;
        st.ConnString = doc.connString;
    } else {
        st.CurrentFileName = path;
    }
    st.IsModified = false;
    st.SavedText = loaded.text;
    return loaded;
}

bool connectQueryFile(const QString& connName, const QString& connString,
                      const QString& queryFilePath) {
    AppState& st = appState();
    db::Tdm1& dm = db::dm1();
    db::Connection& conn = dm.ADOConn1;
    st.ConnString = connString;
    dm.ADOQry1.close();
    if (conn.isOpen())
        conn.close();

    try {
        // An empty reference still goes to the provider, which refuses it in its own words.
        if (TrimText(st.ConnString).isEmpty())
            st.ConnString = QStringLiteral("-");
        conn.setConnectionString(st.ConnString);
        const QString& wf = st.WorkFolder;
        conn.setWorkFolder(wf.isEmpty() ? QDir::currentPath() : wf);
        conn.open();
        if (conn.isOpen()) {
            st.ConnName = connName;
            st.CurrentFileName = queryFilePath;
        }
        return true;
    } catch (...) {
        ReportError(errorText());
        conn.setLoginPrompt(false);
        // A failure in the actions after the open must not leave an unnamed connection.
        if (conn.isOpen())
            conn.close();
        st.ConnName.clear();
        st.CurrentFileName = queryFilePath;
        return false;
    }
}

bool loadQueryFile(const QString& path) {
    const LoadedDocument doc = readDocument(path);
    if (doc.refused)
        return false;
    if (!doc.isQueryFile)
        return true;
    return connectQueryFile(doc.connName, doc.connString, path);
}

}  // namespace vnk::app
