// The service's web pages as simple HTML: home, results of several uploads,
// blog posting, slideshow import, login and logout, the user's pictures and
// videos, search, the "done" page and the page of one stored file; and the
// update document. Pictures inside pages use paths on this service, so the
// pages work when the toolbar is pointed at 127.0.0.1.
#pragma once

#include "MediaStore.h"
#include "ServiceConfig.h"

#include <optional>
#include <string>
#include <vector>

namespace devservice {

struct PageContext {
    const MediaStore& store;
    const ServiceHosts& hosts;
    std::string user;  // value of the "myimages" cookie; empty when logged out
};

struct SlideshowRequest {
    std::vector<std::string> urls;
    std::string isPublic, finalize, optsize, fadein, background;
};

std::string homePage(const PageContext& ctx);
std::string resultsPage(const PageContext& ctx, const std::vector<std::string>& ids,
                        const std::vector<std::string>& publics);
std::string blogPage(const PageContext& ctx, const std::string& id);
std::string slideshowPage(const PageContext& ctx, const SlideshowRequest& request, const std::string& slideshowId);
std::string loginPage(const std::string& user);
std::string logoutPage();
std::string userItemsPage(const PageContext& ctx, bool videos);
std::string searchPage(const PageContext& ctx, const std::string& query);
std::string contentPage(const PageContext& ctx, const std::string& page, const std::string& id);
std::string itemPage(const PageContext& ctx, const StoredItem& item);

std::string updateDocument(const std::string& version, const std::string& link);

// A stored item named by a short link ("i/<id>/<name>") or by a full link
// whose last three path segments are one.
std::optional<StoredItem> itemOfLink(const MediaStore& store, const std::string& link);

}  // namespace devservice
