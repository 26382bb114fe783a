// Builds the upload answers; see UploadAnswer.h.
#include "UploadAnswer.h"

#include "Text.h"

namespace devservice {
namespace {

void element(std::string& out, const char* name, const std::string& value) {
    out += "    <";
    out += name;
    out += '>';
    out += xmlEscape(value);
    out += "</";
    out += name;
    out += ">\n";
}

std::string htmlCode(const std::string& target, const std::string& picture) {
    return "<a href=\"" + target + "\" target=\"_blank\"><img src=\"" + picture + "\" border=\"0\" alt=\"Hosted by Vellumpost\"/></a>";
}
std::string bbCode(const std::string& target, const std::string& picture) {
    return "[URL=" + target + "][IMG]" + picture + "[/IMG][/URL]";
}
std::string bb2Code(const std::string& target, const std::string& picture) {
    return "[url=" + target + "][img=" + picture + "][/url]";
}

}  // namespace

ItemLinks linksOf(const StoredItem& item, const ServiceHosts& hosts) {
    ItemLinks links;
    links.image = (item.video ? hosts.video : hosts.bare) + item.filePath();
    links.ad = hosts.main + "/view/" + item.id + "/" + item.name;
    if (item.hasThumb || !item.video)
        links.thumb = hosts.bare + item.thumbPath();
    links.done = hosts.main + "/content.php?page=tdone&id=" + item.shortLink();
    return links;
}

std::string uploadAnswerXml(const StoredItem& item, const ServiceHosts& hosts) {
    const ItemLinks links = linksOf(item, hosts);
    std::string out = "<?xml version=\"1.0\"?>\n<response>\n  <links>\n";
    element(out, "image_link", links.image);
    element(out, "ad_link", links.ad);
    if (!links.thumb.empty())
        element(out, "thumb_link", links.thumb);
    element(out, "done_page", links.done);
    if (item.video) {
        const std::string player = hosts.video + "/player.swf?file=" + item.shortLink();
        element(out, "video_embed",
                "<embed src=\"" + player + "\" type=\"application/x-shockwave-flash\" width=\"448\" height=\"398\"></embed>");
        const std::string face = links.thumb.empty() ? hosts.video + "/images/video_thumb.gif" : links.thumb;
        element(out, "frame_bb", bbCode(links.ad, face));
        element(out, "frame_bb2", bb2Code(links.ad, face));
    } else {
        element(out, "image_html", htmlCode(links.ad, links.image));
        element(out, "image_bb", bbCode(links.ad, links.image));
        element(out, "image_bb2", bb2Code(links.ad, links.image));
    }
    if (!links.thumb.empty()) {
        element(out, "thumb_html", htmlCode(links.ad, links.thumb));
        element(out, "thumb_bb", bbCode(links.ad, links.thumb));
        element(out, "thumb_bb2", bb2Code(links.ad, links.thumb));
    }
    out += "  </links>\n";
    if (item.video)
        out += "  <video-info>\n    <duration>0:00</duration>\n  </video-info>\n";
    out += "</response>\n";
    return out;
}

std::string errorAnswerXml(const std::string& errorId, const std::string& text) {
    return "<?xml version=\"1.0\"?>\n<response>\n  <links>\n    <error id=\"" + xmlEscape(errorId) + "\">" +
           xmlEscape(text) + "</error>\n  </links>\n</response>\n";
}

}  // namespace devservice
