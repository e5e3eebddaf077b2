// Zentarix — MIT licence.
// The web host's parts that need no server: page compilation with includes, and request parsing.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "AspPage.h"
#include "Request.h"
#include "objbase.h"

namespace fs = std::filesystem;
using namespace zx::script::web;

namespace {

class AspPageTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_root = fs::temp_directory_path() / ("zx-asp-" + std::to_string(::getpid()));
    fs::create_directories(m_root / "inc");
    write("inc/a.inc", "<% x = 1\ny = 2 %>");
    write("inc/loop.inc", "<!-- #include file=\"loop.inc\" -->");
  }
  void TearDown() override { fs::remove_all(m_root); }
  void write(const std::string& name, const std::string& text) { std::ofstream(m_root / name, std::ios::binary) << text; }
  fs::path m_root;
};

TEST_F(AspPageTest, BlocksCodeAndIncludesKeepTheirLines) {
  write("p.asp", "<%@ Language=\"VBScript\" CodePage=1252 %><b>\n<!-- #include virtual=\"/inc/a.inc\" -->\n<%= y %>!\n<% Option Explicit %>");
  AspPage page;
  PageError error;
  ASSERT_TRUE(compile_asp_page(m_root / "p.asp", m_root, &page, &error)) << error.message;
  EXPECT_EQ(page.script, u"Option Explicit\nResponse.WriteBlock 0\n x = 1\ny = 2 \nResponse.WriteBlock 1\nResponse.Write ( y )\n"
                         u"Response.WriteBlock 2\n\n");
  EXPECT_EQ(page.blocks, (std::vector<std::string>{"<b>\n", "\n", "!\n"}));
  EXPECT_EQ(page.codePage, 1252);
  const std::pair<int, std::pair<std::string, int>> lines[] = {{3, {"inc/a.inc", 1}}, {4, {"inc/a.inc", 2}}, {6, {"p.asp", 3}}, {8, {"p.asp", 4}}};
  for (const auto& [line, where] : lines) {
    EXPECT_EQ(page.origin_of(line).file, (m_root / where.first).string()) << line;
    EXPECT_EQ(page.origin_of(line).line, where.second) << line;
  }
}

TEST_F(AspPageTest, BadPagesNameTheirFault) {
  const struct {
    const char* text;
    const char* code;
    const char* message;
    int line;
  } cases[] = {
      {"a\n<% x = 1", "ASP 0116", "Missing close of script delimiter.", 2},
      {"\n\n<!-- #include file=\"none.inc\" -->", "ASP 0126", "The include file 'none.inc' was not found.", 3},
      {"<!-- #include file=\"../../etc/passwd\" -->", "ASP 0131", "The include file '../../etc/passwd' cannot be outside the site.", 1},
      {"<!-- #include virtual=\"/inc/loop.inc\" -->", "ASP 0126", "The include file 'loop.inc' nests too deeply (an include loop?).", 1},
      {"<%@ Language=JScript %>", "ASP 0129", "The scripting language 'JScript' is not found on the server.", 1},
  };
  for (const auto& c : cases) {
    write("bad.asp", c.text);
    AspPage page;
    PageError error;
    EXPECT_FALSE(compile_asp_page(m_root / "bad.asp", m_root, &page, &error)) << c.text;
    EXPECT_EQ(error.code, c.code) << c.text;
    EXPECT_EQ(error.message, c.message) << c.text;
    EXPECT_EQ(error.where.line, c.line) << c.text;
  }
}

TEST(RequestParsing, UrlencodedAndCookies) {
  const NameValues q = parse_urlencoded("w=200&name=a+b%26c&W=3&flag&e=%C3%A9&bad=%zz");
  ASSERT_EQ(q.entries.size(), 5u);
  EXPECT_EQ(*q.find(u"w"), (std::vector<std::u16string>{u"200", u"3"}));
  EXPECT_EQ(*q.find(u"NAME"), std::vector<std::u16string>{u"a b&c"});
  EXPECT_EQ(*q.find(u"flag"), std::vector<std::u16string>{u""});
  EXPECT_EQ(*q.find(u"e"), std::vector<std::u16string>{u"\u00e9"});
  EXPECT_EQ(*q.find(u"bad"), std::vector<std::u16string>{u"%zz"});
  EXPECT_EQ(q.find(u"none"), nullptr);
  const NameValues c = parse_cookies("ASPSESSIONID=ABC; theme=dark%20blue;junk");
  EXPECT_EQ(*c.find(u"aspsessionid"), std::vector<std::u16string>{u"ABC"});
  EXPECT_EQ(*c.find(u"theme"), std::vector<std::u16string>{u"dark blue"});
}

TEST(RequestParsing, MultipartFieldsAndFirstFile) {
  const std::string type = "multipart/form-data; boundary=XY";
  const std::string body = "--XY\r\nContent-Disposition: form-data; name=\"caption\"\r\n\r\nBoats\r\n"
                           "--XY\r\nContent-Disposition: form-data; name=\"photo\"; filename=\"a.jpg\"\r\nContent-Type: image/jpeg\r\n\r\n"
                           "\xFF\xD8\r\n--X\r\n--XY--\r\n";
  MultipartForm form;
  ASSERT_TRUE(parse_multipart(type, body, &form));
  EXPECT_TRUE(form.complete);
  EXPECT_EQ(*form.fields.find(u"caption"), std::vector<std::u16string>{u"Boats"});
  EXPECT_EQ(*form.fields.find(u"photo"), std::vector<std::u16string>{u"a.jpg"});
  EXPECT_EQ(form.file, "\xFF\xD8\r\n--X");
  MultipartForm cut;  // an upload that stopped half way keeps what came whole
  ASSERT_TRUE(parse_multipart(type, body.substr(0, 120), &cut));
  EXPECT_FALSE(cut.complete);
  EXPECT_EQ(cut.file, "");
  EXPECT_FALSE(parse_multipart("multipart/form-data", body, &cut));
}

// The body is read once, either as a form or as bytes, as the server always enforced.
TEST(RequestObject, FormAndBinaryReadExcludeEachOther) {
  auto data = std::make_shared<RequestData>();
  data->variables = {{"CONTENT_TYPE", "application/x-www-form-urlencoded"}};
  data->body = "a=1&b=2";
  zx::ComPtr<RequestObject> first(new RequestObject(data)), second(new RequestObject(data));
  zx::ComPtr<IRequestDictionary> form;
  ASSERT_EQ(first->get_Form(form.put()), S_OK);
  VARIANT count, bytes;
  count.vt = VT_I4;
  count.lVal = 3;
  EXPECT_EQ(first->BinaryRead(&count, &bytes), E_FAIL);
  ASSERT_EQ(second->BinaryRead(&count, &bytes), S_OK);
  EXPECT_EQ(count.lVal, 3);
  EXPECT_EQ(bytes.parray->rgsabound[0].cElements, 3u);
  VariantClear(&bytes);
  EXPECT_EQ(second->get_Form(form.put()), E_FAIL);
  char head[4] = {};
  ULONG read = 0;
  zx::ComPtr<IStream> stream;
  ASSERT_EQ(second->QueryInterface(IID_IStream, stream.put_void()), S_OK);
  EXPECT_EQ(stream->Read(head, 4, &read), S_OK);
  EXPECT_EQ(std::string(head, 4), "a=1&");
}

}  // namespace
