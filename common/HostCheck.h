// Who the toolbar is talking to: whether the process that loaded the module is
// the browser, and whether an address belongs to the service (its pages, or
// any of its hosts). Every such decision in the product goes through here.
#pragma once

#include <string>
#include <vector>

// True when the program of this process is "iexplore.exe" (or its path cannot
// be read or has no folder part). Computed on first use and cached.
bool HostedInBrowser();

// The rule on a given program path.
bool IsBrowserProgramPath(const wchar_t* path);

// The hosts that make up the service.
struct ServiceHosts {
    std::wstring domain;                  // the bare domain; its subdomains are the service's hosts
    std::vector<std::wstring> pageHosts;  // the hosts whose pages may drive the toolbar
    std::wstring forcedServer;            // a development server ("host[:port]"); empty: none

    // The module's: the bare domain and the web, account and profile hosts of
    // the string table, and the setting ForceServer.
    static ServiceHosts FromModule();
};

enum class ServiceScope {
    // Pages that may drive the scriptable objects: http or https on one of the
    // page hosts (any port), or on the forced server when that names this
    // machine (a loopback address; the port must match when it names one).
    // Load, video and file hosts serve users' content and are not pages.
    Pages,
    // Any host under the domain, by any http or https address: pictures that
    // are already on the service.
    AnyHost,
};

// Whether url (the whole text; see ParseUrl) belongs to the service in scope.
// Hosts compare without regard to case; a look-alike host, user information,
// a path, query or embedded NUL cannot make another host pass.
bool IsServiceUrl(const std::wstring& url, ServiceScope scope, const ServiceHosts& hosts);
bool IsServiceUrl(const std::wstring& url, ServiceScope scope);  // with ServiceHosts::FromModule()
