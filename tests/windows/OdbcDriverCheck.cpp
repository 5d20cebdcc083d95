// Creates a table in a database file through an ODBC driver DLL called directly, without a driver
// manager (Wine's only reaches the host's drivers). Usage: OdbcDriverCheck DRIVER.dll FILE
#include <windows.h>

#include <sql.h>
#include <sqlext.h>

#include <string>

#define ENTRY(name) reinterpret_cast<decltype(&name)>(reinterpret_cast<void*>(GetProcAddress(dll, #name)))

int wmain(int argc, wchar_t** argv)
{
    HMODULE dll = argc == 3 ? LoadLibraryW(argv[1]) : nullptr;
    auto alloc = ENTRY(SQLAllocHandle);
    auto connect = ENTRY(SQLDriverConnectW);
    auto exec = ENTRY(SQLExecDirectW);
    SQLHANDLE env = nullptr, dbc = nullptr, stmt = nullptr;
    if (!dll || !alloc || !connect || !exec || !SQL_SUCCEEDED(alloc(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env)) ||
        !SQL_SUCCEEDED(alloc(SQL_HANDLE_DBC, env, &dbc)))
        return 3;
    std::wstring text = std::wstring(L"DRIVER=SQLite3;Database=") + argv[2];
    wchar_t create[] = L"CREATE TABLE t(x TEXT)";
    SQLSMALLINT length = 0;
    return SQL_SUCCEEDED(connect(dbc, nullptr, text.data(), SQL_NTS, nullptr, 0, &length, SQL_DRIVER_NOPROMPT)) &&
                   SQL_SUCCEEDED(alloc(SQL_HANDLE_STMT, dbc, &stmt)) && SQL_SUCCEEDED(exec(stmt, create, SQL_NTS))
               ? 0
               : 4;
}
