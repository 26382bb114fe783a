// HTML of the service's pages; see Pages.h.
#include "Pages.h"

#include "Text.h"

namespace devservice {
namespace {

std::string page(const std::string& title, const std::string& body) {
    return "<!DOCTYPE html>\n<html><head><meta charset=\"windows-1252\"><title>" + xmlEscape(title) +
           " - Vellumpost</title></head>\n<body>\n<h1>" + xmlEscape(title) + "</h1>\n" + body + "</body></html>\n";
}

std::string itemLine(const StoredItem& item) {
    const std::string picture = item.hasThumb || !item.video ? "<img src=\"" + xmlEscape(item.thumbPath()) +
                                                                   "\" width=\"150\" alt=\"\"> "
                                                             : "";
    return "<li class=\"item\" data-id=\"" + xmlEscape(item.shortLink()) + "\">" + picture + "<a href=\"" +
           xmlEscape(item.filePath()) + "\">" + xmlEscape(item.name) + "</a> (" + std::to_string(item.size) +
           " bytes" + (item.isPublic ? "" : ", private") + ")</li>\n";
}

std::string itemList(const std::vector<StoredItem>& items) {
    if (items.empty())
        return "<p class=\"empty\">Nothing here yet.</p>\n";
    std::string out = "<ul>\n";
    for (const StoredItem& item : items)
        out += itemLine(item);
    return out + "</ul>\n";
}

}  // namespace

std::optional<StoredItem> itemOfLink(const MediaStore& store, const std::string& link) {
    if (auto item = store.findByShortLink(link))
        return item;
    // A full link: keep its last three path segments.
    std::string rest = link.substr(0, link.find_first_of("?#"));
    std::size_t cut = rest.size();
    for (int i = 0; i < 3; ++i) {
        cut = rest.rfind('/', cut - 1);
        if (cut == std::string::npos || cut == 0)
            return std::nullopt;
    }
    return store.findByShortLink(rest.substr(cut + 1));
}

std::string homePage(const PageContext& ctx) {
    std::string body = "<p>Local development service.</p>\n";
    body += ctx.user.empty() ? "<p class=\"login\">Not logged in.</p>\n"
                             : "<p class=\"login\">Logged in as " + xmlEscape(ctx.user) + ".</p>\n";
    body += "<p>" + std::to_string(ctx.store.items().size()) + " stored files.</p>\n";
    return page("Home", body);
}

std::string resultsPage(const PageContext& ctx, const std::vector<std::string>& ids,
                        const std::vector<std::string>& publics) {
    std::string body = "<ul>\n";
    for (std::size_t i = 0; i < ids.size(); ++i) {
        const std::string visibility = i < publics.size() ? publics[i] : "";
        if (auto item = itemOfLink(ctx.store, ids[i]))
            body += itemLine(*item);
        else
            body += "<li class=\"missing\">Unknown picture " + xmlEscape(ids[i]) + "</li>\n";
        body += "<!-- public: " + xmlEscape(visibility) + " -->\n";
    }
    return page("Your uploaded pictures", body + "</ul>\n");
}

std::string blogPage(const PageContext& ctx, const std::string& id) {
    const auto item = itemOfLink(ctx.store, id);
    if (!item)
        return page("Post to blog", "<p class=\"missing\">Unknown picture " + xmlEscape(id) + "</p>\n");
    return page("Post to blog", "<form method=\"post\"><textarea name=\"post\" rows=\"10\" cols=\"60\"></textarea>\n"
                                "<ul>\n" + itemLine(*item) + "</ul></form>\n");
}

std::string slideshowPage(const PageContext& ctx, const SlideshowRequest& request, const std::string& slideshowId) {
    std::string body = "<p>Slideshow " + xmlEscape(slideshowId) + ": size " + xmlEscape(request.optsize) +
                       ", public " + xmlEscape(request.isPublic) + ", finalize " + xmlEscape(request.finalize) +
                       ", effect " + xmlEscape(request.fadein) + ", background " + xmlEscape(request.background) +
                       "</p>\n<ol>\n";
    for (const std::string& url : request.urls) {
        if (auto item = itemOfLink(ctx.store, url))
            body += itemLine(*item);
        else
            body += "<li class=\"missing\">Unknown picture " + xmlEscape(url) + "</li>\n";
    }
    return page(request.finalize == "yes" ? "Slideshow created" : "Slideshow draft", body + "</ol>\n");
}

std::string loginPage(const std::string& user) {
    return page("Login", "<p class=\"login\">Logged in as " + xmlEscape(user) + ".</p>\n");
}

std::string logoutPage() { return page("Logout", "<p class=\"login\">Logged out.</p>\n"); }

std::string userItemsPage(const PageContext& ctx, bool videos) {
    const char* title = videos ? "My Videos" : "My Images";
    if (ctx.user.empty())
        return page(title, "<p class=\"login\">Please log in.</p>\n");
    std::vector<StoredItem> items;
    for (const StoredItem& item : ctx.store.items())
        if (item.video == videos)
            items.push_back(item);
    return page(title, itemList(items));
}

std::string searchPage(const PageContext& ctx, const std::string& query) {
    std::vector<StoredItem> found;
    const std::string needle = toLower(query);
    if (!needle.empty())
        for (const StoredItem& item : ctx.store.items())
            if (toLower(item.name).find(needle) != std::string::npos ||
                toLower(item.tags).find(needle) != std::string::npos)
                found.push_back(item);
    return page("Search: " + query, itemList(found));
}

std::string contentPage(const PageContext& ctx, const std::string& pageName, const std::string& id) {
    if (pageName != "tdone")
        return page("Content", "<p>Page " + xmlEscape(pageName) + ".</p>\n");
    std::string body = "<p class=\"done\">Upload done.</p>\n";
    if (auto item = itemOfLink(ctx.store, id))
        body += "<ul>\n" + itemLine(*item) + "</ul>\n";
    return page("Upload done", body);
}

std::string itemPage(const PageContext& ctx, const StoredItem& item) {
    return page(item.name, "<ul>\n" + itemLine(item) + "</ul>\n<p>Tags: " + xmlEscape(item.tags) + "</p>\n");
}

std::string updateDocument(const std::string& version, const std::string& link) {
    return "<?xml version=\"1.0\"?>\n<update>\n  <version>" + xmlEscape(version) + "</version>\n  <link>" +
           xmlEscape(link) + "</link>\n</update>\n";
}

}  // namespace devservice
