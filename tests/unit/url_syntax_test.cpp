#include "app/update/url_syntax.h"

#include <gtest/gtest.h>

namespace kestrova::Updater {
namespace {

TEST(UrlSyntax, AcceptsAbsoluteURLs) {
  for (const char* text :
       {"https://kestrova.talmiro.com/appcast.json", "http://127.0.0.1:54321/feed?x=1&y=%2F#top",
        "file:///tmp/feed.json", "x-custom+1.0:thing", "https://h/[::1]/~user/a,b;c=d@e!$'()*"}) {
    EXPECT_TRUE(isURL(text)) << text;
  }
}

TEST(UrlSyntax, RejectsWhatIsNoURL) {
  for (const char* text : {"", "not a url", "kestrova.talmiro.com/appcast.json", "://x",
                           "1http://x", "https:", "https://host/a b", "https://host/%2",
                           "https://host/%g0", "https://host/\xC3\xA9", "https://host/\n",
                           "ht tp://host", "https://host/\"q\"", "https://host/<x>"}) {
    EXPECT_FALSE(isURL(text)) << text;
  }
}

}  // namespace
}  // namespace kestrova::Updater
