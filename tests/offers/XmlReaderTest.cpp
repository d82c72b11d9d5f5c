// The XML reader on texts in memory. No Windows header: this file runs both natively (with
// AddressSanitizer) and under Wine.
#include <gtest/gtest.h>

#include <string>

#include "updater/offers/XmlReader.h"

namespace {

struct Parsed {
    XmlNode root;
    XmlParseInfo info;
    bool ok = false;
    explicit Parsed(const std::string& text) : ok(LoadXmlText(text, &root, &info)) {}
};

const XmlNode* Child(const XmlNode& node, std::size_t index) {
    return index < node.children.size() ? node.children[index].get() : nullptr;
}

TEST(XmlReader, DocumentElementGoesIntoTheRoot) {
    // Junk before the first "<", a declaration and a comment before the document element are
    // dropped; text after the document element is ignored.
    Parsed p("\xEF\xBB\xBFjunk <?xml version=\"1.0\"?>\n<!-- head -->\n"
             "<Options a=\"1\"><item>x</item></Options> trailing <other/>");
    ASSERT_TRUE(p.ok) << p.info.errorText;
    EXPECT_EQ(p.root.name, "Options");
    ASSERT_EQ(p.root.attributes.size(), 1u);
    EXPECT_EQ(p.root.attributes[0]->owner, &p.root);
    ASSERT_EQ(p.root.children.size(), 1u);
    EXPECT_EQ(p.root.children[0]->name, "item");
    EXPECT_EQ(p.root.children[0]->value, "x");
    EXPECT_EQ(p.root.children[0]->parent, &p.root);
    EXPECT_EQ(p.root.parent, nullptr);
}

TEST(XmlReader, EmptyTextAndTextWithoutElements) {
    Parsed empty("");
    EXPECT_TRUE(empty.ok);  // no error; LoadXmlFile rejects empty text itself
    EXPECT_EQ(empty.root.name, "");
    Parsed none("no markup at all");
    EXPECT_TRUE(none.ok);
    EXPECT_EQ(none.root.name, "");
}

TEST(XmlReader, ErrorCodesAtTheirPositions) {
    {
        // 1: "/" not followed by ">", reported just after the "/".
        Parsed p("<a><b / ></b></a>");
        EXPECT_FALSE(p.ok);
        EXPECT_EQ(p.info.errorCode, 1);
        EXPECT_EQ(p.info.ErrorOffset(), 7);
        EXPECT_EQ(p.info.errorText, "Element must be closed.");
    }
    {
        // 2: character data without a following "<", after the start tag's ">".
        Parsed p("<a><b>text");
        EXPECT_EQ(p.info.errorCode, 2);
        EXPECT_EQ(p.info.ErrorOffset(), 6);
        EXPECT_EQ(p.info.errorText, "b must be closed with </b>");
    }
    {
        // 2: a closing name without blank or ">", at the start of the closing name.
        Parsed p("<a><b>x</b></  a");
        EXPECT_EQ(p.info.errorCode, 2);
        EXPECT_EQ(p.info.ErrorOffset(), 15);
        EXPECT_EQ(p.info.errorText, "it must be closed with </a>");
    }
    {
        // 2: text after a child runs off the end while the value is still blank.
        Parsed p("<a> <b/>tail");
        EXPECT_EQ(p.info.errorCode, 2);
        EXPECT_EQ(p.info.ErrorOffset(), 8);
        EXPECT_EQ(p.info.errorText, "it must be closed with </a>");
    }
    {
        // 3: case differs; position after the closing name's delimiter.
        Parsed p("<Item>x</item>");
        EXPECT_EQ(p.info.errorCode, 3);
        EXPECT_EQ(p.info.ErrorOffset(), 14);
        EXPECT_EQ(p.info.errorText, "'<Item> ... </item>' is not wel-formed.");
    }
    {
        // 3: a line break before ">" belongs to the closing name.
        Parsed p("<a>x</a\n>");
        EXPECT_EQ(p.info.errorCode, 3);
        EXPECT_EQ(p.info.errorText, "'<a> ... </a\n>' is not wel-formed.");
    }
    {
        // 4: an attribute name with neither blank nor "=" after it.
        Parsed p("<a><b x>");
        EXPECT_EQ(p.info.errorCode, 4);
        EXPECT_EQ(p.info.ErrorOffset(), 6);
        EXPECT_EQ(p.info.errorText, "<b> attribute has error ");
    }
}

TEST(XmlReader, OnlyTheFirstErrorIsKept) {
    XmlParseInfo info;
    std::string text = "<a><b>x</c></a>";
    XmlNode root;
    EXPECT_FALSE(LoadXmlText(text, &root, &info));
    EXPECT_EQ(info.errorCode, 3);
    // A later fault in another parse with the same record leaves the report alone.
    std::string second = "<z/ ";
    info.end = second.data() + second.size();
    info.begin = second.data();
    XmlNode other;
    other.Load(second.data(), &info);
    EXPECT_EQ(info.errorCode, 3);
}

TEST(XmlReader, TextEndingAfterCompleteChildrenIsAccepted) {
    Parsed p("<root><a>1</a><b k='v'/>");
    EXPECT_TRUE(p.ok);
    ASSERT_EQ(p.root.children.size(), 2u);
    EXPECT_EQ(p.root.children[1]->FindAttribute("k")->value, "v");
    // Ending inside character data is error 2.
    Parsed q("<root><a>1</a><b>partial");
    EXPECT_FALSE(q.ok);
    EXPECT_EQ(q.info.errorCode, 2);
}

TEST(XmlReader, ValueIsTheFirstNonBlankRun) {
    Parsed after("<a>\n  <b/>\n  text after\n</a>");
    ASSERT_TRUE(after.ok);
    EXPECT_EQ(after.root.value, "\n  text after\n");
    Parsed both("<a>before<b/>after</a>");
    ASSERT_TRUE(both.ok);
    EXPECT_EQ(both.root.value, "before");
    Parsed blank("<a>   </a>");
    EXPECT_EQ(blank.root.value, "   ");
    Parsed empty("<a/>");
    EXPECT_EQ(empty.root.value, "");
    EXPECT_TRUE(empty.root.children.empty());
}

TEST(XmlReader, EscapesAndEntities) {
    Parsed p("<a x=\"q\\\"uote\" y='a\\\\b' z=&amp;lt;>\\<not a tag\\\\ &amp;lt; &lt;&gt;&quot;&apos;"
             " &amp &#65; &nbsp;</a>");
    ASSERT_TRUE(p.ok) << p.info.errorText;
    EXPECT_EQ(p.root.value, "<not a tag\\ &lt; <>\"' &amp &#65; &nbsp;");
    EXPECT_EQ(p.root.FindAttribute("x")->value, "q\"uote");
    EXPECT_EQ(p.root.FindAttribute("y")->value, "a\\b");
    EXPECT_EQ(p.root.FindAttribute("z")->value, "&lt;");
    // A single backslash at the very end of a run vanishes.
    Parsed tail("<a>x\\");
    EXPECT_FALSE(tail.ok);
    std::string out = "keep";
    XmlParseInfo info;
    const char run[] = "ab\\";
    SetXmlValue(run, run + 3, info, &out);
    EXPECT_EQ(out, "ab");
    SetXmlValue(run, run, info, &out);  // empty run: unchanged
    EXPECT_EQ(out, "ab");
}

TEST(XmlReader, AttributeForms) {
    Parsed p("<e d=\"dq v\" s='sq v' b=bare n  =  spaced flag other=last>v</e>");
    ASSERT_TRUE(p.ok) << p.info.errorText;
    ASSERT_EQ(p.root.attributes.size(), 6u);
    EXPECT_EQ(p.root.attributes[0]->value, "dq v");
    EXPECT_EQ(p.root.attributes[1]->value, "sq v");
    EXPECT_EQ(p.root.attributes[2]->value, "bare");
    EXPECT_EQ(p.root.attributes[3]->name, "n");
    EXPECT_EQ(p.root.attributes[3]->value, "spaced");
    EXPECT_EQ(p.root.attributes[4]->name, "flag");
    EXPECT_EQ(p.root.attributes[4]->value, "");
    EXPECT_EQ(p.root.attributes[5]->value, "last");  // a bare value ends at ">"
    EXPECT_EQ(p.root.value, "v");
    EXPECT_EQ(p.root.FindAttribute("D"), nullptr);  // names are case-sensitive
}

TEST(XmlReader, DuplicateAttributesStayInOrder) {
    Parsed p("<e k=\"1\" k=\"2\" K=\"3\"/>");
    ASSERT_TRUE(p.ok);
    ASSERT_EQ(p.root.attributes.size(), 3u);
    EXPECT_EQ(p.root.attributes[1]->value, "2");
    EXPECT_EQ(p.root.FindAttribute("k")->value, "1");
    EXPECT_EQ(p.root.FindAttribute("K")->value, "3");
}

TEST(XmlReader, CommentsAndCDataBelongToTheirElement) {
    Parsed p("<a><!-- c1 --><b/><![CDATA[ <raw> &amp; \\x ]]><!--c2--></a>");
    ASSERT_TRUE(p.ok) << p.info.errorText;
    ASSERT_EQ(p.root.children.size(), 4u);
    EXPECT_EQ(Child(p.root, 0)->name, "#COMMENT");
    EXPECT_EQ(Child(p.root, 0)->kind, XmlNodeKind::Comment);
    EXPECT_EQ(Child(p.root, 0)->value, " c1 ");
    EXPECT_EQ(Child(p.root, 1)->name, "b");
    EXPECT_EQ(Child(p.root, 2)->name, "#CDATA");
    EXPECT_EQ(Child(p.root, 2)->kind, XmlNodeKind::CData);
    EXPECT_EQ(Child(p.root, 2)->value, " <raw> &amp; \\x ");  // raw
    EXPECT_EQ(Child(p.root, 3)->value, "c2");
    // The openings and terminators compare without regard to case.
    Parsed q("<a><![cdata[x]]></a>");
    ASSERT_EQ(q.root.children.size(), 1u);
    EXPECT_EQ(q.root.children[0]->value, "x");
    // Declarations inside elements are dropped.
    Parsed r("<a><?pi x?><b/></a>");
    ASSERT_EQ(r.root.children.size(), 1u);
    EXPECT_EQ(r.root.children[0]->name, "b");
}

TEST(XmlReader, UnterminatedMarkupStopsAtTheEnd) {
    // None of these may read beyond the text (the sanitizers watch the native run). A comment,
    // CDATA section, declaration or quoted value cut off by the end of the text is an error, so
    // that a truncated download is not taken for a whole file.
    struct Case {
        const char* text;
        int code;  // 0: the text just ends, no error
    };
    const Case cases[] = {{"<a><!-- open", 2}, {"<a><![CDATA[ open ]]", 2}, {"<?xml ", 2},
                          {"<a x=\"open", 4}, {"<a x='open\\'", 4}, {"<a x=", 0}, {"<a x", 4},
                          {"<a", 0}, {"<", 0}, {"<a></", 2}, {"<a><b/", 1}, {"<a>\\", 2},
                          {"<a x=\\", 0}, {"<a><b>1</b><c", 0}};
    for (const Case& c : cases) {
        std::string exact(c.text);  // no spare capacity is relied upon
        XmlNode root;
        XmlParseInfo info;
        LoadXmlText(exact, &root, &info);
        EXPECT_EQ(info.errorCode, c.code) << c.text;
    }
    Parsed comment("<a><!-- open");
    EXPECT_EQ(comment.info.errorText, "it must be closed with </a>");
    EXPECT_EQ(comment.info.ErrorOffset(), 3);
}

TEST(XmlReader, DeepNestingIsBoundedNotFatal) {
    auto nest = [](int depth) {
        std::string text;
        for (int i = 0; i < depth; ++i) text += "<n>";
        text += "x";
        for (int i = 0; i < depth; ++i) text += "</n>";
        return text;
    };
    Parsed ok(nest(kXmlMaxDepth));
    EXPECT_TRUE(ok.ok) << ok.info.errorText;
    const XmlNode* node = &ok.root;
    int depth = 1;
    while (!node->children.empty()) {
        node = node->children[0].get();
        ++depth;
    }
    EXPECT_EQ(depth, kXmlMaxDepth);
    EXPECT_EQ(node->value, "x");

    Parsed deep(nest(kXmlMaxDepth + 1));
    EXPECT_FALSE(deep.ok);
    EXPECT_EQ(deep.info.errorCode, kXmlErrorTooDeep);
    // A hostile file of a million open tags ends the same way, quickly and without a crash.
    std::string hostile;
    for (int i = 0; i < 1000000; ++i) hostile += "<>";
    Parsed h(hostile);
    EXPECT_FALSE(h.ok);
    EXPECT_EQ(h.info.errorCode, kXmlErrorTooDeep);
}

TEST(XmlReader, CloseEmptiesListsButKeepsNameAndValue) {
    Parsed p("<a k='v'>val<b/></a>");
    p.root.Close();
    EXPECT_TRUE(p.root.children.empty());
    EXPECT_TRUE(p.root.attributes.empty());
    EXPECT_EQ(p.root.name, "a");
    EXPECT_EQ(p.root.value, "val");
}

TEST(XmlReader, EndTagWithBlankAndTrailingText) {
    // A blank ends the closing name; what follows it is character data of the parent, which
    // becomes the parent's value while that is still blank.
    Parsed p("<a><b>1</b junk><c>2</c></a >");
    ASSERT_TRUE(p.ok) << p.info.errorText;
    ASSERT_EQ(p.root.children.size(), 2u);
    EXPECT_EQ(p.root.children[1]->value, "2");
    EXPECT_EQ(p.root.value, "junk>");
}

}  // namespace
