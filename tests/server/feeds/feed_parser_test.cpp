#include "server/feeds/feed_item_texts.h"
#include "server/feeds/feed_parser.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <ostream>

namespace tallyhawk::server
{

void PrintTo(FeedStatus status, std::ostream* out)
{
    static constexpr const char* kNames[] = {"Ok", "CutOff", "Malformed", "NotAFeed", "Refused"};
    *out << kNames[static_cast<int>(status)];
}

namespace
{

constexpr std::string_view kFeedUrl = "http://127.0.0.1:8080/feeds/deals.xml";
// 2003-06-10 04:00:00 UTC.
constexpr std::int64_t kJune10 = 12213LL * 86400 + 4 * 3600;

ParsedFeed Parse(std::string_view bytes)
{
    return FeedParser::Parse(bytes, kFeedUrl);
}

// Every text a parse gave, to look for what must not be there.
std::string AllTexts(const ParsedFeed& feed)
{
    std::string all = feed.title + feed.link + feed.problem;
    for (const FeedEntry& entry : feed.entries) {
        all += entry.id + entry.link + entry.title.text + entry.summary.text + entry.content.text;
    }
    return all;
}

TEST(FeedParser, ReadsRss2)
{
    ParsedFeed feed = Parse(R"(<?xml version="1.0"?>
<rss version="2.0" xmlns:dc="http://purl.org/dc/elements/1.1/"
     xmlns:content="http://purl.org/rss/1.0/modules/content/">
  <channel>
    <title>Shop &amp; Save</title>
    <link>http://deals.example/</link>
    <item>
      <title>Drill $25</title>
      <link> http://deals.example/d/1 </link>
      <guid isPermaLink="false">deal-1</guid>
      <description>&lt;p&gt;Cordless&lt;/p&gt;</description>
      <content:encoded><![CDATA[<p>Long</p>]]></content:encoded>
      <pubDate>Tue, 10 Jun 2003 04:00:00 GMT</pubDate>
    </item>
    <item>
      <title>Saw</title>
      <guid>http://deals.example/d/2</guid>
      <dc:date>2003-06-10T04:00:00Z</dc:date>
    </item>
  </channel>
</rss>)");

    ASSERT_EQ(feed.status, FeedStatus::Ok) << feed.problem;
    EXPECT_EQ(feed.format, FeedFormat::Rss2);
    EXPECT_STREQ(FeedFormatName(feed.format), "RSS 2.0");
    EXPECT_EQ(feed.title, "Shop & Save");
    EXPECT_EQ(feed.link, "http://deals.example/");
    ASSERT_EQ(feed.entries.size(), 2u);
    const FeedEntry& first = feed.entries[0];
    EXPECT_EQ(first.id, "deal-1");
    EXPECT_EQ(first.link, "http://deals.example/d/1");
    EXPECT_EQ(first.title.text, "Drill $25");
    EXPECT_TRUE(first.title.html);
    EXPECT_EQ(first.summary.text, "<p>Cordless</p>");
    EXPECT_EQ(first.content.text, "<p>Long</p>");
    EXPECT_EQ(first.published, kJune10);
    // A guid is the item's address unless it says it is not.
    EXPECT_EQ(feed.entries[1].link, "http://deals.example/d/2");
    EXPECT_EQ(feed.entries[1].published, kJune10);
}

TEST(FeedParser, ReadsRdf)
{
    ParsedFeed feed = Parse(R"(<?xml version="1.0"?>
<rdf:RDF xmlns:rdf="http://www.w3.org/1999/02/22-rdf-syntax-ns#" xmlns="http://purl.org/rss/1.0/"
         xmlns:dc="http://purl.org/dc/elements/1.1/">
  <channel rdf:about="http://deals.example/rss">
    <title>Deals</title>
    <link>http://deals.example/</link>
  </channel>
  <item rdf:about="http://deals.example/d/7">
    <title>Kettle</title>
    <link>http://deals.example/d/7</link>
    <description>Steel</description>
    <dc:date>2003-06-10T06:00:00+02:00</dc:date>
  </item>
</rdf:RDF>)");

    ASSERT_EQ(feed.status, FeedStatus::Ok) << feed.problem;
    EXPECT_EQ(feed.format, FeedFormat::Rdf);
    EXPECT_EQ(feed.title, "Deals");
    ASSERT_EQ(feed.entries.size(), 1u);
    EXPECT_EQ(feed.entries[0].id, "http://deals.example/d/7");
    EXPECT_EQ(feed.entries[0].title.text, "Kettle");
    EXPECT_EQ(feed.entries[0].summary.text, "Steel");
    EXPECT_EQ(feed.entries[0].published, kJune10);
}

TEST(FeedParser, ReadsAtom)
{
    ParsedFeed feed = Parse(R"(<?xml version="1.0" encoding="utf-8"?>
<feed xmlns="http://www.w3.org/2005/Atom">
  <title type="html">&lt;b&gt;Deals&lt;/b&gt;</title>
  <link rel="self" href="http://deals.example/atom"/>
  <link href="http://deals.example/"/>
  <entry>
    <id>urn:uuid:1</id>
    <title type="text">5 &lt; 6 lamps</title>
    <link rel="enclosure" href="http://deals.example/img.png"/>
    <link rel="alternate" type="text/html" href="http://deals.example/d/1"/>
    <summary type="html">&lt;p&gt;Bright&lt;/p&gt;</summary>
    <content type="xhtml"><div xmlns="http://www.w3.org/1999/xhtml"><p>Very <b>bright</b></p></div></content>
    <published>2003-06-10T04:00:00Z</published>
    <updated>2003-06-11T04:00:00Z</updated>
  </entry>
</feed>)");

    ASSERT_EQ(feed.status, FeedStatus::Ok) << feed.problem;
    EXPECT_EQ(feed.format, FeedFormat::Atom);
    EXPECT_EQ(feed.title, "Deals");
    EXPECT_EQ(feed.link, "http://deals.example/");
    ASSERT_EQ(feed.entries.size(), 1u);
    const FeedEntry& entry = feed.entries[0];
    EXPECT_EQ(entry.id, "urn:uuid:1");
    EXPECT_EQ(entry.link, "http://deals.example/d/1");
    EXPECT_EQ(entry.title.text, "5 < 6 lamps");
    EXPECT_FALSE(entry.title.html);
    EXPECT_EQ(entry.summary.text, "<p>Bright</p>");
    EXPECT_TRUE(entry.summary.html);
    EXPECT_EQ(entry.content.text, "Very bright");
    EXPECT_FALSE(entry.content.html);
    EXPECT_EQ(entry.published, kJune10);
    EXPECT_EQ(entry.updated, kJune10 + 86400);
}

TEST(FeedParser, ReadsJsonFeed)
{
    ParsedFeed feed = Parse(R"({
  "version": "https://jsonfeed.org/version/1.1",
  "title": "Deals",
  "home_page_url": "/",
  "items": [
    {"id": "1", "url": "deal/1", "title": "Drill", "summary": "Cordless",
     "content_html": "<p>Long</p>", "date_published": "2003-06-10T04:00:00Z"},
    {"id": 2, "external_url": "https://shop.example/saw", "title": "Saw", "content_text": "Sharp",
     "date_modified": "Tue, 10 Jun 2003 04:00:00 GMT"},
    "not an item",
    {"title": 7}
  ]
})");

    ASSERT_EQ(feed.status, FeedStatus::Ok) << feed.problem;
    EXPECT_EQ(feed.format, FeedFormat::JsonFeed);
    EXPECT_EQ(feed.title, "Deals");
    EXPECT_EQ(feed.link, "http://127.0.0.1:8080/");
    ASSERT_EQ(feed.entries.size(), 3u);
    EXPECT_EQ(feed.entries[0].link, "http://127.0.0.1:8080/feeds/deal/1");
    EXPECT_EQ(feed.entries[0].summary.text, "Cordless");
    EXPECT_EQ(feed.entries[0].content.text, "<p>Long</p>");
    EXPECT_TRUE(feed.entries[0].content.html);
    EXPECT_EQ(feed.entries[0].published, kJune10);
    EXPECT_EQ(feed.entries[1].id, "2");
    EXPECT_EQ(feed.entries[1].link, "https://shop.example/saw");
    EXPECT_EQ(feed.entries[1].content.text, "Sharp");
    EXPECT_FALSE(feed.entries[1].content.html);
    EXPECT_EQ(feed.entries[1].updated, kJune10);
    // A member of the wrong type is left out, not the entry.
    EXPECT_EQ(feed.entries[2].title.text, "");
}

TEST(FeedParser, ReadsEntitiesAndCdata)
{
    ParsedFeed feed = Parse(R"(<?xml version="1.0"?>
<!DOCTYPE rss [ <!ENTITY shop "Corner &amp; Co"> ]>
<rss><channel><title>t</title>
  <item><title>&shop; &#8364;5 &#x263A; &lt;b&gt;<![CDATA[<i>&amp;</i>]]></title></item>
</channel></rss>)");

    ASSERT_EQ(feed.status, FeedStatus::Ok) << feed.problem;
    ASSERT_EQ(feed.entries.size(), 1u);
    EXPECT_EQ(feed.entries[0].title.text,
              "Corner & Co \xE2\x82\xAC"
              "5 \xE2\x98\xBA <b><i>&amp;</i>");
}

TEST(FeedParser, HtmlInTitlesLeavesOnlyTheTextForTheItem)
{
    ParsedFeed feed = Parse(R"(<rss><channel>
  <item><title>&lt;b&gt;Drill&lt;/b&gt; &amp;amp; bits &lt;script&gt;alert(1)&lt;/script&gt;$19</title></item>
  <item><title><![CDATA[<i>Saw</i> &quot;pro&quot;]]></title></item>
</channel></rss>)");

    ASSERT_EQ(feed.entries.size(), 2u);
    FeedItemTexts drill = FeedItemTexts::From(feed.entries[0]);
    EXPECT_EQ(drill.title, "Drill & bits $19");
    EXPECT_EQ(drill.extra, "$19");
    EXPECT_EQ(FeedItemTexts::From(feed.entries[1]).title, "Saw \"pro\"");
}

TEST(FeedParser, ReadsTheDeclaredEncoding)
{
    ParsedFeed latin1 = Parse("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>"
                              "<rss><channel><title>Caf\xE9</title><item><title>Cr\xE8me \xA3"
                              "5</title></item></channel></rss>");
    ASSERT_EQ(latin1.status, FeedStatus::Ok) << latin1.problem;
    EXPECT_EQ(latin1.title, "Caf\xC3\xA9");
    ASSERT_EQ(latin1.entries.size(), 1u);
    EXPECT_EQ(latin1.entries[0].title.text,
              "Cr\xC3\xA8me \xC2\xA3"
              "5");

    ParsedFeed windows = Parse("<?xml version=\"1.0\" encoding=\"windows-1252\"?>"
                               "<rss><channel><item><title>\x93Lamp\x94 \x80"
                               "5 \x96 now</title></item></channel></rss>");
    ASSERT_EQ(windows.status, FeedStatus::Ok) << windows.problem;
    ASSERT_EQ(windows.entries.size(), 1u);
    EXPECT_EQ(windows.entries[0].title.text,
              "\xE2\x80\x9CLamp\xE2\x80\x9D \xE2\x82\xAC"
              "5 \xE2\x80\x93 now");
}

TEST(FeedParser, ResolvesRelativeLinksAndKeepsOnlyHttp)
{
    ParsedFeed rss = Parse(R"(<rss><channel><link>/</link>
  <item><link>/deal/1</link></item>
  <item><link>../deal/2?a=1&amp;b=2</link></item>
  <item><link>//cdn.example/deal/3</link></item>
  <item><link>deal 4/ü</link></item>
  <item><link>javascript:alert(1)</link></item>
  <item><link>ftp://files.example/x</link></item>
  <item><link>HTTPS://Shop.example/5</link></item>
  <item><link>http:///nohost</link></item>
</channel></rss>)");
    ASSERT_EQ(rss.status, FeedStatus::Ok) << rss.problem;
    EXPECT_EQ(rss.link, "http://127.0.0.1:8080/");
    std::vector<std::string> links;
    for (const FeedEntry& entry : rss.entries) {
        links.push_back(entry.link);
    }
    EXPECT_EQ(links,
              (std::vector<std::string>{"http://127.0.0.1:8080/deal/1",
                                        "http://127.0.0.1:8080/deal/2?a=1&b=2",
                                        "http://cdn.example/deal/3",
                                        "http://127.0.0.1:8080/feeds/deal%204/%C3%BC",
                                        "",
                                        "",
                                        "https://Shop.example/5",
                                        ""}));

    ParsedFeed atom
        = Parse(R"(<feed xmlns="http://www.w3.org/2005/Atom" xml:base="http://deals.example/base/">
  <entry><link href="d/1"/></entry>
  <entry xml:base="sub/"><link href="d/2"/></entry>
</feed>)");
    ASSERT_EQ(atom.status, FeedStatus::Ok) << atom.problem;
    ASSERT_EQ(atom.entries.size(), 2u);
    EXPECT_EQ(atom.entries[0].link, "http://deals.example/base/d/1");
    EXPECT_EQ(atom.entries[1].link, "http://deals.example/base/sub/d/2");
}

// Entries are read and let go of as they end; what the feed says of itself may come after them.
TEST(FeedParser, ReadsTheFeedsOwnElementsAfterItsEntries)
{
    ParsedFeed rss
        = Parse("<rss><channel>\n<item><title>One</title></item>\n<item><title>Two</title></item>\n"
                "<title>Late &amp; last</title>\n<link>/home</link>\n</channel></rss>");
    ASSERT_EQ(rss.status, FeedStatus::Ok) << rss.problem;
    EXPECT_EQ(rss.title, "Late & last");
    EXPECT_EQ(rss.link, "http://127.0.0.1:8080/home");
    ASSERT_EQ(rss.entries.size(), 2u);
    EXPECT_EQ(rss.entries[1].title.text, "Two");

    ParsedFeed atom = Parse("<feed xmlns=\"http://www.w3.org/2005/Atom\">\n <entry><id>1</id></entry>\n"
                            " <title>After</title> <link href=\"/\"/></feed>");
    ASSERT_EQ(atom.status, FeedStatus::Ok) << atom.problem;
    EXPECT_EQ(atom.title, "After");
    EXPECT_EQ(atom.link, "http://127.0.0.1:8080/");
    EXPECT_EQ(atom.entries.size(), 1u);
}

// Items of a second channel, or nested where no format puts them, are no entries.
TEST(FeedParser, TakesOnlyTheEntriesWhereTheFormatPutsThem)
{
    ParsedFeed rss = Parse("<rss><channel><item><title>a</title><item><title>inner</title></item></item>"
                           "</channel><channel><item><title>b</title></item></channel></rss>");
    ASSERT_EQ(rss.status, FeedStatus::Ok) << rss.problem;
    ASSERT_EQ(rss.entries.size(), 1u);
    EXPECT_EQ(rss.entries[0].title.text, "a");

    ParsedFeed atom = Parse("<feed xmlns=\"http://www.w3.org/2005/Atom\"><entry><id>1</id>"
                            "<entry><id>2</id></entry></entry></feed>");
    ASSERT_EQ(atom.status, FeedStatus::Ok) << atom.problem;
    ASSERT_EQ(atom.entries.size(), 1u);
    EXPECT_EQ(atom.entries[0].id, "1");
}

TEST(FeedParser, LinksStayUnresolvedWithoutAnHttpFeedAddress)
{
    ParsedFeed feed = FeedParser::Parse("<rss><channel><item><link>/deal/1</link></item>"
                                        "<item><link>http://deals.example/2</link></item></channel></rss>",
                                        "");
    ASSERT_EQ(feed.entries.size(), 2u);
    EXPECT_EQ(feed.entries[0].link, "");
    EXPECT_EQ(feed.entries[1].link, "http://deals.example/2");
}

struct ExpiryCase
{
    const char* name;
    std::string document;
    std::optional<std::int64_t> expires;
};

void PrintTo(const ExpiryCase& expiry, std::ostream* out)
{
    *out << expiry.name;
}

class Expiries : public testing::TestWithParam<ExpiryCase>
{ };

TEST_P(Expiries, AreReadWhereTheFeedGivesThem)
{
    ParsedFeed feed = Parse(GetParam().document);
    ASSERT_EQ(feed.status, FeedStatus::Ok) << feed.problem;
    ASSERT_EQ(feed.entries.size(), 1u);
    EXPECT_EQ(feed.entries[0].expires, GetParam().expires);
}

std::string RssWithItem(const std::string& inside)
{
    return "<rss xmlns:deal=\"urn:x-deals\"><channel><item><title>t</title>" + inside
        + "</item></channel></rss>";
}

std::string AtomWithEntry(const std::string& inside)
{
    return "<feed xmlns=\"http://www.w3.org/2005/Atom\" xmlns:x=\"urn:x-deals\"><entry><id>1</id>" + inside
        + "</entry></feed>";
}

std::string JsonWithItem(const std::string& members)
{
    return R"({"version": "https://jsonfeed.org/version/1.1", "items": [{"id": "1", )" + members + "}]}";
}

INSTANTIATE_TEST_SUITE_P(
    FeedParser,
    Expiries,
    testing::Values(
        ExpiryCase{"RssExtensionRfc822",
                   RssWithItem("<deal:expires>Tue, 10 Jun 2003 04:00:00 GMT</deal:expires>"),
                   kJune10},
        ExpiryCase{"RssPlainRfc3339WithSpaces",
                   RssWithItem("<expiration_date>\n 2003-06-10T06:00:00+02:00 </expiration_date>"),
                   kJune10},
        ExpiryCase{"RssNone", RssWithItem("<pubDate>Tue, 10 Jun 2003 04:00:00 GMT</pubDate>"), std::nullopt},
        ExpiryCase{"RssUnreadable", RssWithItem("<deal:expires>next week</deal:expires>"), std::nullopt},
        ExpiryCase{"RssUnreadableThenReadable",
                   RssWithItem("<expires>soon</expires><deal:expiry>2003-06-10T04:00:00Z</deal:expiry>"),
                   kJune10},
        ExpiryCase{"RssOtherNameIgnored",
                   RssWithItem("<deal:expires_at>2003-06-10</deal:expires_at>"),
                   std::nullopt},
        ExpiryCase{
            "AtomExtension", AtomWithEntry("<x:valid_until>2003-06-10T04:00:00Z</x:valid_until>"), kJune10},
        ExpiryCase{"AtomDayAlone", AtomWithEntry("<end_date>2003-06-10</end_date>"), kJune10 - 4 * 3600},
        ExpiryCase{"Rdf",
                   "<rdf:RDF xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\" "
                   "xmlns=\"http://purl.org/rss/1.0/\" xmlns:ex=\"urn:x\"><item rdf:about=\"a\">"
                   "<ex:expiry>2003-06-10T04:00:00Z</ex:expiry></item></rdf:RDF>",
                   kJune10},
        ExpiryCase{
            "JsonExtensionObject", JsonWithItem(R"("_deal": {"expires": "2003-06-10T04:00:00Z"})"), kJune10},
        ExpiryCase{
            "JsonOwnMember", JsonWithItem(R"("expiration_date": "Tue, 10 Jun 2003 04:00:00 GMT")"), kJune10},
        ExpiryCase{"JsonObjectThatIsNoExtension",
                   JsonWithItem(R"("deal": {"expires": "2003-06-10T04:00:00Z"})"),
                   std::nullopt},
        ExpiryCase{"JsonNotText", JsonWithItem(R"("_deal": {"expires": 1055217600})"), std::nullopt},
        ExpiryCase{"JsonUnreadable", JsonWithItem(R"("_deal": {"valid_until": "tomorrow"})"), std::nullopt}),
    [](const testing::TestParamInfo<ExpiryCase>& info) { return info.param.name; });

struct BadDocument
{
    const char* name;
    const char* bytes;
    FeedStatus status;
    const char* problem; // a part of the problem's words
};

class BadDocuments : public testing::TestWithParam<BadDocument>
{ };

TEST_P(BadDocuments, GiveAStatusAndWords)
{
    ParsedFeed feed = Parse(GetParam().bytes);
    EXPECT_EQ(feed.status, GetParam().status);
    EXPECT_NE(feed.problem.find(GetParam().problem), std::string::npos) << feed.problem;
    EXPECT_TRUE(feed.entries.empty());
}

INSTANTIATE_TEST_SUITE_P(
    FeedParser,
    BadDocuments,
    testing::Values(
        BadDocument{"Empty", " \r\n", FeedStatus::Malformed, "empty"},
        BadDocument{
            "Unclosed", "<rss><channel><item><title>x</title></item>", FeedStatus::Malformed, "line 1"},
        BadDocument{"Mismatched", "<rss>\n<channel></rss>", FeedStatus::Malformed, "line 2"},
        BadDocument{"UndeclaredEntity",
                    "<rss><channel><title>&nbsp;</title></channel></rss>",
                    FeedStatus::Malformed,
                    "nbsp"},
        BadDocument{"BadUtf8",
                    "<rss><channel><title>\xC3\x28</title></channel></rss>",
                    FeedStatus::Malformed,
                    "line 1"},
        BadDocument{"UnknownEncoding",
                    "<?xml version=\"1.0\" encoding=\"x-made-up\"?><rss/>",
                    FeedStatus::Malformed,
                    "line 1"},
        BadDocument{"Html", "<html><body>Not here</body></html>", FeedStatus::NotAFeed, "<html>"},
        BadDocument{"AtomWithoutNamespace", "<feed><entry/></feed>", FeedStatus::NotAFeed, "<feed>"},
        BadDocument{"BrokenJson",
                    "{\"version\": \"https://jsonfeed.org/version/1.1\", \"items\": [",
                    FeedStatus::Malformed,
                    "JSON"},
        BadDocument{"OtherJson", "{\"items\": []}", FeedStatus::NotAFeed, "JSON Feed"},
        BadDocument{"DeepJson",
                    "{\"a\":[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[",
                    FeedStatus::Refused,
                    "deeper"}),
    [](const testing::TestParamInfo<BadDocument>& info) { return info.param.name; });

TEST(FeedParser, RefusesExternalEntitiesAndReadsNoFile)
{
    test::TempDir dir;
    std::string secret = dir.File("secret.txt");
    test::WriteFileBytes(secret, "TOPSECRET");
    test::WriteFileBytes(dir.File("outside.dtd"), "<!ENTITY leak SYSTEM \"file://" + secret + "\">");

    std::vector<std::string> documents = {
        // A general entity from a file.
        "<?xml version=\"1.0\"?><!DOCTYPE rss [<!ENTITY leak SYSTEM \"file://" + secret
            + "\">]><rss><channel><title>&leak;</title></channel></rss>",
        // One from the network, which must not be asked for either.
        "<!DOCTYPE rss [<!ENTITY leak SYSTEM \"http://127.0.0.1:1/x\">]><rss><channel><title>&leak;</title>"
        "</channel></rss>",
        // A parameter entity that would pull in declarations.
        "<!DOCTYPE rss [<!ENTITY % outside SYSTEM \"file://" + dir.File("outside.dtd")
            + "\"> %outside;]><rss><channel><title>&leak;</title></channel></rss>",
    };
    for (const std::string& document : documents) {
        ParsedFeed feed = Parse(document);
        EXPECT_EQ(feed.status, FeedStatus::Refused) << document << "\n" << feed.problem;
        EXPECT_EQ(AllTexts(feed).find("TOPSECRET"), std::string::npos) << document;
    }

    // An external DTD is never read: the entity it would declare stays unknown.
    ParsedFeed external = Parse("<!DOCTYPE rss SYSTEM \"file://" + dir.File("outside.dtd")
                                + "\"><rss><channel><title>a&leak;b</title></channel></rss>");
    EXPECT_EQ(AllTexts(external).find("TOPSECRET"), std::string::npos) << AllTexts(external);
}

std::string LaughsDocument()
{
    std::string document = "<?xml version=\"1.0\"?><!DOCTYPE rss [<!ENTITY lol0 \"lol\">";
    for (int level = 1; level <= 9; ++level) {
        document += "<!ENTITY lol" + std::to_string(level) + " \"";
        for (int i = 0; i < 10; ++i) {
            document += "&lol" + std::to_string(level - 1) + ";";
        }
        document += "\">";
    }
    return document + "]><rss><channel><title>&lol9;</title></channel></rss>";
}

// One large entity used many times: each level of nesting is small, the whole is not.
std::string QuadraticDocument()
{
    std::string document
        = "<!DOCTYPE rss [<!ENTITY big \"" + std::string(64 * 1024, 'x') + "\">]><rss><channel>";
    for (int i = 0; i < 40; ++i) {
        document += "<item><title>&big;</title></item>";
    }
    return document + "</channel></rss>";
}

// As many references as a hostile feed cares to write, each to a tiny entity.
std::string ManyReferencesDocument()
{
    std::string document = "<!DOCTYPE rss [<!ENTITY e \"e\">]><rss><channel><title>";
    for (std::size_t i = 0; i <= FeedParser::kMaxEntityReferences; ++i) {
        document += "&e;";
    }
    return document + "</title></channel></rss>";
}

// The same references spread over entries read one at a time: the bound is the whole document's.
std::string ManyReferencesAcrossEntriesDocument()
{
    std::string document = "<!DOCTYPE rss [<!ENTITY e \"e\">]><rss><channel>";
    constexpr std::size_t kPerEntry = 10;
    for (std::size_t i = 0; i <= FeedParser::kMaxEntityReferences / kPerEntry; ++i) {
        document += "<item><title>";
        for (std::size_t j = 0; j < kPerEntry; ++j) {
            document += "&e;";
        }
        document += "</title></item>";
    }
    return document + "</channel></rss>";
}

TEST(FeedParser, RefusesEntityExpansionBeyondTheBound)
{
    for (const std::string& document : {LaughsDocument(),
                                        QuadraticDocument(),
                                        ManyReferencesDocument(),
                                        ManyReferencesAcrossEntriesDocument()}) {
        auto start = std::chrono::steady_clock::now();
        ParsedFeed feed = Parse(document);
        EXPECT_EQ(feed.status, FeedStatus::Refused) << document.substr(0, 120);
        EXPECT_NE(feed.problem.find("entities"), std::string::npos) << feed.problem;
        EXPECT_TRUE(feed.entries.empty());
        // Refused at the bound, not after expanding: far below what a billion laughs would take.
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
    }
}

// An RSS item of exactly `size` bytes whose title is its number.
std::string SizedItem(int number, std::size_t size)
{
    std::string head = "<item><title>" + std::to_string(number) + "</title><description>";
    std::string tail = "</description></item>\n";
    return head + std::string(size - head.size() - tail.size(), 'd') + tail;
}

TEST(FeedParser, CutsOffAFeedOverTheLimitAndKeepsTheWholeEntriesBeforeIt)
{
    constexpr std::size_t kItemBytes = 1000;
    std::string head = "<?xml version=\"1.0\"?><rss><channel><title>Big</title>\n";
    std::string document = head;
    int items = 0;
    while (document.size() <= FeedParser::kMaxFeedBytes + 10 * kItemBytes) {
        document += SizedItem(items++, kItemBytes);
    }
    document += "</channel></rss>";
    // Items that end at or before the limit; the one it cuts through is not an entry.
    std::size_t whole = (FeedParser::kMaxFeedBytes - head.size()) / kItemBytes;

    ParsedFeed feed = Parse(document);

    EXPECT_EQ(feed.status, FeedStatus::CutOff);
    EXPECT_NE(feed.problem.find("8 MiB"), std::string::npos) << feed.problem;
    EXPECT_EQ(feed.title, "Big");
    ASSERT_EQ(feed.entries.size(), whole);
    EXPECT_EQ(feed.entries.back().title.text, std::to_string(whole - 1));
    EXPECT_FALSE(feed.entries.back().summary.text.empty());
    EXPECT_EQ(feed.entries.back().summary.text.find_first_not_of('d'), std::string::npos);
}

TEST(FeedParser, AFeedOverTheLimitBrokenBeforeTheCutIsMalformed)
{
    std::string document = "<rss><channel>\n<item><title>x</titel></item>\n";
    while (document.size() <= FeedParser::kMaxFeedBytes) {
        document += SizedItem(1, 1000);
    }

    ParsedFeed feed = Parse(document);

    EXPECT_EQ(feed.status, FeedStatus::Malformed);
    EXPECT_NE(feed.problem.find("line 2"), std::string::npos) << feed.problem;
    EXPECT_TRUE(feed.entries.empty());
}

TEST(FeedParser, AFeedOfExactlyTheLimitIsWhole)
{
    std::string head = "<rss><channel>";
    std::string tail = "</channel></rss>";
    std::string document = head + SizedItem(0, FeedParser::kMaxFeedBytes - head.size() - tail.size()) + tail;
    ASSERT_EQ(document.size(), FeedParser::kMaxFeedBytes);

    ParsedFeed feed = Parse(document);

    EXPECT_EQ(feed.status, FeedStatus::Ok) << feed.problem;
    EXPECT_EQ(feed.entries.size(), 1u);
}

TEST(FeedParser, CutsOffAJsonFeedOverTheLimitWithoutEntries)
{
    std::string document = R"({"version": "https://jsonfeed.org/version/1.1", "items": [)";
    while (document.size() <= FeedParser::kMaxFeedBytes) {
        document += R"({"id": "x", "title": "A deal"},)";
    }
    document += R"({"id": "y"}]})";

    ParsedFeed feed = Parse(document);

    EXPECT_EQ(feed.status, FeedStatus::CutOff);
    EXPECT_NE(feed.problem.find("8 MiB"), std::string::npos) << feed.problem;
    EXPECT_TRUE(feed.entries.empty());
}

} // namespace
} // namespace tallyhawk::server
