#include "dbaccess/oracledriver.h"

namespace dbaccess {

// Interim: the run-time loaded Oracle Call Interface driver follows.
std::shared_ptr<OracleSession> openOciSession(const QString&, const QString&, const QString&)
{
    throw TOracleError(QStringLiteral("This build cannot reach Oracle servers yet"));
}

}  // namespace dbaccess
