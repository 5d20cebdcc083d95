#pragma once

// The ODBC driver manager's API (odbc32). Its headers need the Windows types declared first.
#include <windows.h>

// Qt builds with UNICODE; the program calls ODBC in its ANSI forms, as unixODBC names them.
#ifndef SQL_NOUNICODEMAP
#define SQL_NOUNICODEMAP
#endif

#include <sql.h>
#include <sqlext.h>
