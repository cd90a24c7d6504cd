# The download client (libcurl on OpenSSL).
find_package(CURL REQUIRED)

add_library(httpclient STATIC HttpClient.cpp posix/HttpClient.cpp)
target_link_libraries(httpclient PUBLIC platform PRIVATE CURL::libcurl)
