# The download client (libcurl on OpenSSL) and the temporary-file-name service.
find_package(CURL REQUIRED)

add_library(httpclient STATIC HttpClient.cpp)
target_link_libraries(httpclient PUBLIC platform PRIVATE CURL::libcurl)

# MakeTempFileName raises the class library's EFCreateError, which lives in the framework library.
add_library(tempfile STATIC TempFile.cpp)
target_link_libraries(tempfile PUBLIC platform pluginframework)
