#pragma once

// The ODBC driver manager's API (unixODBC).
#include <sql.h>
#include <sqlext.h>
