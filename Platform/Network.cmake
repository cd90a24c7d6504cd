# The download client: libcurl on OpenSSL; on Windows WinHTTP, asynchronous so that the caller's thread
# reports progress and can cancel.
add_library(httpclient STATIC HttpClient.cpp ${ZARBEX_OS}/HttpClient.cpp)
if(WIN32)
  target_link_libraries(httpclient PUBLIC platform winhttp)
else()
  find_package(CURL REQUIRED)
  target_link_libraries(httpclient PUBLIC platform PRIVATE CURL::libcurl)
endif()
