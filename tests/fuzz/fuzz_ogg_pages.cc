// The ripper's Ogg pages: any bytes a server sends are split into pages and
// noise that together are those bytes, and what the comment rewriter makes
// of the pages is whole pages again.
#include "tests/fuzz/fuzz_support.h"
#include "tools/lumoripper/ogg_comments.h"

FUZZ_TARGET(in) {
  using ripper::ogg::PageSplitter;
  PageSplitter splitter;
  std::vector<PageSplitter::Piece> pieces;
  const std::size_t step = in.choice ? in.choice : 1;  // the network's piece size
  for (std::size_t at = 0; at < in.text.size(); at += step)
    splitter.feed(in.text.data() + at, std::min(step, in.text.size() - at), pieces);
  ripper::ogg::CommentRewriter rewriter({"Title", "Artist", "Station", "2026-01-31"});
  std::string joined, rewritten;
  for (const auto& piece : pieces) {
    joined += piece.bytes;
    if (piece.page) rewriter.page(piece.bytes, rewritten);
  }
  rewriter.finish(rewritten);
  FUZZ_CHECK(joined + splitter.takeRest() == in.text);
  PageSplitter again;
  std::vector<PageSplitter::Piece> out;
  again.feed(rewritten.data(), rewritten.size(), out);
  for (const auto& piece : out) FUZZ_CHECK(piece.page);
  FUZZ_CHECK(again.takeRest().empty());
}
