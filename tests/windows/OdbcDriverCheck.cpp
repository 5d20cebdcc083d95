// Opens a database file through an ODBC driver DLL called directly, without a driver manager (Wine's
// forwards to the host's drivers), writes a row of French text and reads it back.
// Usage: OdbcDriverCheck DRIVER.dll FILE; exit 0 when the row came back unchanged.
#include <windows.h>

#include <sql.h>
#include <sqlext.h>

#include <cwchar>
#include <string>

template <typename F>
F entry(HMODULE dll, const char* name)
{
    return reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(dll, name)));
}

int wmain(int argc, wchar_t** argv)
{
    HMODULE dll = argc == 3 ? LoadLibraryW(argv[1]) : nullptr;
    auto alloc = entry<SQLRETURN(SQL_API*)(SQLSMALLINT, SQLHANDLE, SQLHANDLE*)>(dll, "SQLAllocHandle");
    auto setEnv = entry<SQLRETURN(SQL_API*)(SQLHENV, SQLINTEGER, SQLPOINTER, SQLINTEGER)>(dll, "SQLSetEnvAttr");
    auto connect = entry<decltype(&SQLDriverConnectW)>(dll, "SQLDriverConnectW");
    auto exec = entry<decltype(&SQLExecDirectW)>(dll, "SQLExecDirectW");
    auto fetch = entry<decltype(&SQLFetch)>(dll, "SQLFetch");
    auto getData = entry<decltype(&SQLGetData)>(dll, "SQLGetData");
    if (!alloc || !setEnv || !connect || !exec || !fetch || !getData)
        return 3;
    SQLHANDLE env = nullptr, dbc = nullptr, stmt = nullptr;
    alloc(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env);
    setEnv(env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
    alloc(SQL_HANDLE_DBC, env, &dbc);
    std::wstring text = std::wstring(L"DRIVER=SQLite3;Database=") + argv[2];
    SQLSMALLINT length = 0;
    if (!SQL_SUCCEEDED(connect(dbc, nullptr, text.data(), SQL_NTS, nullptr, 0, &length, SQL_DRIVER_NOPROMPT)))
        return 4;
    alloc(SQL_HANDLE_STMT, dbc, &stmt);
    wchar_t create[] = L"CREATE TABLE t(x TEXT)", insert[] = L"INSERT INTO t VALUES('Reçu à l''entrepôt')",
            select[] = L"SELECT x FROM t";
    if (!SQL_SUCCEEDED(exec(stmt, create, SQL_NTS)) || !SQL_SUCCEEDED(exec(stmt, insert, SQL_NTS)) ||
        !SQL_SUCCEEDED(exec(stmt, select, SQL_NTS)) || !SQL_SUCCEEDED(fetch(stmt)))
        return 5;
    wchar_t row[64] = {};
    SQLLEN size = 0;
    getData(stmt, 1, SQL_C_WCHAR, row, sizeof row, &size);
    return std::wcscmp(row, L"Reçu à l'entrepôt") == 0 ? 0 : 6;
}
