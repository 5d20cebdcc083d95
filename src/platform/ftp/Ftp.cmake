# The FTP client: the protocol over Qt's sockets, split by concern.
target_sources(vorn_core PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/QtFtpClient.cpp ${CMAKE_CURRENT_LIST_DIR}/QtFtpClient.h
    ${CMAKE_CURRENT_LIST_DIR}/QtFtpClientInternals.h
    ${CMAKE_CURRENT_LIST_DIR}/QtFtpClientCommand.cpp
    ${CMAKE_CURRENT_LIST_DIR}/QtFtpClientData.cpp
    ${CMAKE_CURRENT_LIST_DIR}/QtFtpClientListing.cpp
    ${CMAKE_CURRENT_LIST_DIR}/QtFtpClientLogin.cpp
    ${CMAKE_CURRENT_LIST_DIR}/QtFtpClientRetry.cpp
    ${CMAKE_CURRENT_LIST_DIR}/QtFtpClientTransfer.cpp
    ${CMAKE_CURRENT_LIST_DIR}/FtpSocketErrors.cpp ${CMAKE_CURRENT_LIST_DIR}/FtpSocketErrors.h
    ${CMAKE_CURRENT_LIST_DIR}/BackgroundSha256.cpp ${CMAKE_CURRENT_LIST_DIR}/BackgroundSha256.h
    ${CMAKE_CURRENT_LIST_DIR}/FtpListing.cpp ${CMAKE_CURRENT_LIST_DIR}/FtpListing.h
    ${CMAKE_CURRENT_LIST_DIR}/FtpReply.h
    ${CMAKE_CURRENT_LIST_DIR}/FtpReplyReader.cpp ${CMAKE_CURRENT_LIST_DIR}/FtpReplyReader.h
    ${CMAKE_CURRENT_LIST_DIR}/FtpTlsSettings.h
    ${CMAKE_CURRENT_LIST_DIR}/PartFile.cpp ${CMAKE_CURRENT_LIST_DIR}/PartFile.h
    ${CMAKE_CURRENT_LIST_DIR}/RetryPolicy.cpp ${CMAKE_CURRENT_LIST_DIR}/RetryPolicy.h
    ${CMAKE_CURRENT_LIST_DIR}/SocketWait.cpp ${CMAKE_CURRENT_LIST_DIR}/SocketWait.h
)
