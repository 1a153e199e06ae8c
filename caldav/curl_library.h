#pragma once

#include <curl/curl.h>

#include "platform/result.h"

namespace caldav {

// libcurl's functions the client calls, found in Debian's libcurl when the first request is
// made rather than by the dynamic loader at every start: the planner links the client for its
// background sync, and libcurl's own libraries (TLS, Kerberos, LDAP, SSH, ...) would otherwise
// be relocated before the first paint of every start, whether a sync ever runs or not.
struct CurlLibrary {
    CURL* (*easyInit)();
    void (*easyCleanup)(CURL*);
    void (*easyReset)(CURL*);
    CURLcode (*easySetopt)(CURL*, CURLoption, ...);
    CURLcode (*easyPerform)(CURL*);
    const char* (*easyStrerror)(CURLcode);
    curl_slist* (*slistAppend)(curl_slist*, const char*);
    void (*slistFreeAll)(curl_slist*);
};

// The library, loaded once for the process; an error that says why when it cannot be.
platform::Result<const CurlLibrary*> Curl();

}  // namespace caldav
