#include "chat/pattern_engine.h"

#include <algorithm>
#include <memory>
#include <string_view>

namespace jihe::chat {
namespace {

using Op = PatternEngine::Op;
using Instruction = PatternEngine::Instruction;
using CharClass = PatternEngine::CharClass;

constexpr size_t kNone = static_cast<size_t>(-1);
// Our patterns are a few dozen instructions; this only stops "a{1000}{1000}" from eating memory.
constexpr size_t kMaxProgram = 1 << 16;
constexpr int kMaxNesting = 100;
constexpr int kUnbounded = -1;

// Simple case folding for the scripts with letter case that a phrase is likely to hold.
char32_t Lower(char32_t c) {
  if (c >= 'A' && c <= 'Z') return c + 32;
  if ((c >= 0xC0 && c <= 0xDE && c != 0xD7) || (c >= 0x391 && c <= 0x3A9 && c != 0x3A2) ||
      (c >= 0x410 && c <= 0x42F))
    return c + 32;
  if (c >= 0x400 && c <= 0x40F) return c + 80;
  if (c >= 0xFF21 && c <= 0xFF3A) return c + 32;  // full-width Latin
  return c;
}

char32_t Upper(char32_t c) {
  if (c >= 'a' && c <= 'z') return c - 32;
  if ((c >= 0xE0 && c <= 0xFE && c != 0xF7) || (c >= 0x3B1 && c <= 0x3C9 && c != 0x3C2) ||
      (c >= 0x430 && c <= 0x44F))
    return c - 32;
  if (c >= 0x450 && c <= 0x45F) return c - 80;
  if (c >= 0xFF41 && c <= 0xFF5A) return c - 32;
  return c;
}

bool IsLineBreak(char32_t c) { return c == '\n' || c == '\r' || c == 0x2028 || c == 0x2029; }
bool IsDigit(char32_t c) { return c >= '0' && c <= '9'; }
bool IsWord(char32_t c) {
  return IsDigit(c) || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
}
bool IsSpace(char32_t c) {
  return (c >= 0x09 && c <= 0x0D) || c == ' ' || c == 0xA0 || c == 0x1680 ||
         (c >= 0x2000 && c <= 0x200A) || c == 0x2028 || c == 0x2029 || c == 0x202F || c == 0x205F ||
         c == 0x3000 || c == 0xFEFF;
}

// ---- parsing ---------------------------------------------------------------------------------

struct Node {
  enum class Kind {
    Char,
    Any,
    Class,
    Assert,
    Group,
    Concat,
    Alternation,
    Repeat
  } kind = Kind::Concat;
  char32_t ch = 0;
  int classIndex = 0;
  Op assertion = Op::LineStart;
  int group = -1;  // Group: its number, or -1 for "(?:...)"
  int min = 0, max = 0;
  bool greedy = true;
  std::vector<std::unique_ptr<Node>> children;
};
using NodePtr = std::unique_ptr<Node>;

NodePtr MakeNode(Node::Kind kind) {
  auto node = std::make_unique<Node>();
  node->kind = kind;
  return node;
}

class Parser {
 public:
  Parser(std::u32string_view pattern, std::vector<CharClass>& classes)
      : p_(pattern), classes_(classes) {}

  NodePtr ParseAll() {
    NodePtr node = Alternation(0);
    if (!ok_ || at_ != p_.size()) return nullptr;  // a ")" that closes nothing
    return node;
  }
  int groups() const { return groups_; }

 private:
  bool More() const { return at_ < p_.size(); }
  char32_t Peek() const { return p_[at_]; }

  NodePtr Alternation(int depth) {
    if (depth > kMaxNesting) return Fail();
    auto alternation = MakeNode(Node::Kind::Alternation);
    alternation->children.push_back(Sequence(depth));
    while (ok_ && More() && Peek() == '|') {
      ++at_;
      alternation->children.push_back(Sequence(depth));
    }
    if (!ok_) return nullptr;
    if (alternation->children.size() == 1) return std::move(alternation->children[0]);
    return alternation;
  }

  NodePtr Sequence(int depth) {
    auto sequence = MakeNode(Node::Kind::Concat);
    while (ok_ && More() && Peek() != '|' && Peek() != ')') {
      NodePtr atom = Atom(depth);
      if (!ok_) return nullptr;
      atom = Quantified(std::move(atom));
      if (!ok_) return nullptr;
      sequence->children.push_back(std::move(atom));
    }
    return sequence;
  }

  NodePtr Atom(int depth) {
    const char32_t c = p_[at_++];
    switch (c) {
      case '.':
        return MakeNode(Node::Kind::Any);
      case '^':
        return Assertion(Op::LineStart);
      case '$':
        return Assertion(Op::LineEnd);
      case '[':
        return Class();
      case '*':
      case '+':
      case '?':
        return Fail();  // nothing to repeat
      case '(': {
        auto group = MakeNode(Node::Kind::Group);
        if (More() && Peek() == '?') {
          if (at_ + 1 >= p_.size() || p_[at_ + 1] != ':') return Fail();  // look-arounds
          at_ += 2;
        } else {
          group->group = ++groups_;
        }
        group->children.push_back(Alternation(depth + 1));
        if (!ok_ || !More() || Peek() != ')') return Fail();
        ++at_;
        return group;
      }
      case '\\':
        return Escape();
      default:
        return Literal(c);
    }
  }

  NodePtr Quantified(NodePtr atom) {
    while (More()) {
      int min = 0, max = kUnbounded;
      const char32_t c = Peek();
      if (c == '*') {
        ++at_;
      } else if (c == '+') {
        min = 1, ++at_;
      } else if (c == '?') {
        max = 1, ++at_;
      } else if (c != '{' || !Bounds(&min, &max)) {
        break;
      }
      if (atom->kind == Node::Kind::Assert || atom->kind == Node::Kind::Repeat) return Fail();
      if (max != kUnbounded && max < min) return Fail();
      auto repeat = MakeNode(Node::Kind::Repeat);
      repeat->min = min;
      repeat->max = max;
      if (More() && Peek() == '?') {
        repeat->greedy = false;
        ++at_;
      }
      repeat->children.push_back(std::move(atom));
      atom = std::move(repeat);
    }
    return atom;
  }

  // "{n}", "{n,}" or "{n,m}" at the current place; anything else leaves "{" a literal.
  bool Bounds(int* min, int* max) {
    size_t i = at_ + 1;
    auto number = [&](int* out) {
      const size_t start = i;
      long value = 0;
      while (i < p_.size() && IsDigit(p_[i])) {
        value = value * 10 + static_cast<long>(p_[i] - '0');
        if (value > 100000) value = 100000;
        ++i;
      }
      *out = static_cast<int>(value);
      return i > start;
    };
    if (!number(min)) return false;
    *max = *min;
    if (i < p_.size() && p_[i] == ',') {
      ++i;
      if (!number(max)) *max = kUnbounded;
    }
    if (i >= p_.size() || p_[i] != '}') return false;
    at_ = i + 1;
    return true;
  }

  NodePtr Assertion(Op op) {
    auto node = MakeNode(Node::Kind::Assert);
    node->assertion = op;
    return node;
  }

  NodePtr Literal(char32_t c) {
    auto node = MakeNode(Node::Kind::Char);
    node->ch = Lower(c);
    return node;
  }

  NodePtr ClassOf(CharClass cls) {
    classes_.push_back(std::move(cls));
    auto node = MakeNode(Node::Kind::Class);
    node->classIndex = static_cast<int>(classes_.size() - 1);
    return node;
  }

  // A shorthand class letter (d, D, w, W, s, S) into `cls`; false for any other letter.
  static bool Shorthand(char32_t c, CharClass& cls) {
    switch (c) {
      case 'd':
        cls.digit = true;
        return true;
      case 'D':
        cls.notDigit = true;
        return true;
      case 'w':
        cls.word = true;
        return true;
      case 'W':
        cls.notWord = true;
        return true;
      case 's':
        cls.space = true;
        return true;
      case 'S':
        cls.notSpace = true;
        return true;
      default:
        return false;
    }
  }

  // The character of an escape such as \n, \x41 or \u4E00 (the backslash already read).
  char32_t EscapedCharacter(char32_t c) {
    auto hex = [&](int digits) -> char32_t {
      char32_t value = 0;
      for (int k = 0; k < digits; ++k) {
        if (!More()) return c;
        const char32_t h = Peek();
        int d = IsDigit(h)                             ? static_cast<int>(h - '0')
                : (Lower(h) >= 'a' && Lower(h) <= 'f') ? static_cast<int>(Lower(h) - 'a' + 10)
                                                       : -1;
        if (d < 0) return c;
        value = value * 16 + static_cast<char32_t>(d);
        ++at_;
      }
      return value;
    };
    switch (c) {
      case 'n':
        return '\n';
      case 'r':
        return '\r';
      case 't':
        return '\t';
      case 'f':
        return '\f';
      case 'v':
        return '\v';
      case '0':
        return 0;
      case 'x':
        return hex(2);
      case 'u':
        return hex(4);
      default:
        return c;
    }
  }

  NodePtr Escape() {
    if (!More()) return Fail();
    const char32_t c = p_[at_++];
    if (c == 'b') return Assertion(Op::WordEdge);
    if (c == 'B') return Assertion(Op::NotWordEdge);
    if (c >= '1' && c <= '9') return Fail();  // back references
    CharClass cls;
    if (Shorthand(c, cls)) return ClassOf(std::move(cls));
    return Literal(EscapedCharacter(c));
  }

  NodePtr Class() {
    CharClass cls;
    if (More() && Peek() == '^') {
      cls.negated = true;
      ++at_;
    }
    bool first = true;
    while (true) {
      if (!More()) return Fail();
      char32_t c = p_[at_++];
      if (c == ']' && !first) break;
      first = false;
      if (c == '\\') {
        if (!More()) return Fail();
        const char32_t e = p_[at_++];
        if (Shorthand(e, cls)) continue;
        c = e == 'b' ? U'\b' : EscapedCharacter(e);
      }
      char32_t hi = c;
      if (at_ + 1 < p_.size() && Peek() == '-' && p_[at_ + 1] != ']') {
        ++at_;
        hi = p_[at_++];
        if (hi == '\\') {
          if (!More()) return Fail();
          hi = EscapedCharacter(p_[at_++]);
        }
        if (hi < c) return Fail();
      }
      cls.ranges.emplace_back(c, hi);
    }
    return ClassOf(std::move(cls));
  }

  NodePtr Fail() {
    ok_ = false;
    return nullptr;
  }

  std::u32string_view p_;
  std::vector<CharClass>& classes_;
  size_t at_ = 0;
  int groups_ = 0;
  bool ok_ = true;
};

// ---- code ----------------------------------------------------------------------------------

class Emitter {
 public:
  explicit Emitter(std::vector<Instruction>& program) : program_(program) {}

  // Recursion follows the pattern's nesting, which the parser has bounded.
  bool Emit(const Node& node) {
    if (program_.size() > kMaxProgram) return false;
    switch (node.kind) {
      case Node::Kind::Char:
        Add({Op::Char, node.ch, 0, 0});
        return true;
      case Node::Kind::Any:
        Add({Op::Any, 0, 0, 0});
        return true;
      case Node::Kind::Class:
        Add({Op::Class, 0, node.classIndex, 0});
        return true;
      case Node::Kind::Assert:
        Add({node.assertion, 0, 0, 0});
        return true;
      case Node::Kind::Group:
        if (node.group >= 0) Add({Op::Save, 0, 2 * node.group, 0});
        if (!Emit(*node.children[0])) return false;
        if (node.group >= 0) Add({Op::Save, 0, 2 * node.group + 1, 0});
        return true;
      case Node::Kind::Concat:
        for (const NodePtr& child : node.children) {
          if (!Emit(*child)) return false;
        }
        return true;
      case Node::Kind::Alternation: {
        std::vector<size_t> jumps;
        for (size_t k = 0; k < node.children.size(); ++k) {
          const bool last = k + 1 == node.children.size();
          const size_t split = last ? 0 : Add({Op::Split, 0, 0, 0});
          if (!last) program_[split].x = Here();
          if (!Emit(*node.children[k])) return false;
          if (!last) {
            jumps.push_back(Add({Op::Jump, 0, 0, 0}));
            program_[split].y = Here();
          }
        }
        for (size_t jump : jumps) program_[jump].x = Here();
        return true;
      }
      case Node::Kind::Repeat:
        return Repeat(node);
    }
    return false;
  }

 private:
  size_t Add(Instruction instruction) {
    program_.push_back(instruction);
    return program_.size() - 1;
  }
  int Here() const { return static_cast<int>(program_.size()); }

  // A split that prefers the body when greedy and the way out when lazy; its targets are set later.
  size_t Choice() { return Add({Op::Split, 0, 0, 0}); }
  void SetChoice(size_t split, int body, int out, bool greedy) {
    program_[split].x = greedy ? body : out;
    program_[split].y = greedy ? out : body;
  }

  bool Repeat(const Node& node) {
    const Node& body = *node.children[0];
    for (int k = 0; k < node.min; ++k) {
      if (!Emit(body)) return false;
    }
    if (node.max == kUnbounded) {
      const size_t loop = Choice();
      if (!Emit(body)) return false;
      Add({Op::Jump, 0, static_cast<int>(loop), 0});
      SetChoice(loop, static_cast<int>(loop) + 1, Here(), node.greedy);
      return true;
    }
    std::vector<size_t> choices;
    for (int k = node.min; k < node.max; ++k) {
      choices.push_back(Choice());
      if (!Emit(body)) return false;
    }
    for (size_t choice : choices)
      SetChoice(choice, static_cast<int>(choice) + 1, Here(), node.greedy);
    return true;
  }

  std::vector<Instruction>& program_;
};

// ---- running -------------------------------------------------------------------------------

// The threads at one position, in order of preference, each with its capture slots.
class ThreadList {
 public:
  ThreadList(size_t programSize, size_t slots)
      : slots_(slots), mark_(programSize, 0), caps_(programSize * slots) {
    pcs_.reserve(programSize);
  }
  void Clear() {
    pcs_.clear();
    ++generation_;
  }
  bool Visit(int pc) {
    if (mark_[static_cast<size_t>(pc)] == generation_) return false;
    mark_[static_cast<size_t>(pc)] = generation_;
    return true;
  }
  void Add(int pc, const std::vector<size_t>& caps) {
    std::copy(caps.begin(), caps.end(),
              caps_.begin() + static_cast<std::ptrdiff_t>(pcs_.size() * slots_));
    pcs_.push_back(pc);
  }
  size_t size() const { return pcs_.size(); }
  int pc(size_t i) const { return pcs_[i]; }
  const size_t* caps(size_t i) const { return caps_.data() + i * slots_; }

 private:
  size_t slots_;
  std::vector<unsigned> mark_;
  unsigned generation_ = 1;
  std::vector<int> pcs_;
  std::vector<size_t> caps_;
};

}  // namespace

DecodedText DecodeUtf8(std::string_view s) {
  DecodedText out;
  out.chars.reserve(s.size());
  out.offsets.reserve(s.size() + 1);
  for (size_t i = 0; i < s.size();) {
    const auto byte = [&](size_t k) { return static_cast<unsigned char>(s[k]); };
    const unsigned char b = byte(i);
    size_t length = b < 0x80 ? 1 : (b >> 5) == 6 ? 2 : (b >> 4) == 14 ? 3 : (b >> 3) == 30 ? 4 : 0;
    for (size_t k = 1; length > 1 && k < length; ++k) {
      if (i + k >= s.size() || (byte(i + k) & 0xC0) != 0x80) length = 0;
    }
    char32_t cp;
    if (length == 0) {
      cp = 0xDC00 | b;  // a stray byte stands for itself and matches nothing a pattern names
      length = 1;
    } else {
      cp = length == 1 ? b : b & (0x7F >> length);
      for (size_t k = 1; k < length; ++k) cp = (cp << 6) | (byte(i + k) & 0x3F);
    }
    out.chars.push_back(cp);
    out.offsets.push_back(i);
    i += length;
  }
  out.offsets.push_back(s.size());
  return out;
}

bool PatternEngine::CharClass::Contains(char32_t c) const {
  bool in = (digit && IsDigit(c)) || (notDigit && !IsDigit(c)) || (word && IsWord(c)) ||
            (notWord && !IsWord(c)) || (space && IsSpace(c)) || (notSpace && !IsSpace(c));
  for (size_t k = 0; !in && k < ranges.size(); ++k) {
    for (char32_t v : {c, Lower(c), Upper(c)})
      in = in || (v >= ranges[k].first && v <= ranges[k].second);
  }
  return in != negated;
}

bool PatternEngine::Compile(std::string_view pattern) {
  program_.clear();
  classes_.clear();
  groups_ = 0;
  const DecodedText p = DecodeUtf8(pattern);
  Parser parser(std::u32string_view(p.chars.data(), p.chars.size()), classes_);
  NodePtr root = parser.ParseAll();
  if (!root) return false;
  program_.push_back({Op::Save, 0, 0, 0});
  Emitter emitter(program_);
  if (!emitter.Emit(*root)) {
    program_.clear();
    return false;
  }
  program_.push_back({Op::Save, 0, 1, 0});
  program_.push_back({Op::Match, 0, 0, 0});
  groups_ = parser.groups();
  return true;
}

std::optional<std::vector<size_t>> PatternEngine::Search(const std::vector<char32_t>& text,
                                                         size_t from) const {
  if (program_.empty()) return std::nullopt;
  const size_t slots = 2 * static_cast<size_t>(groups_ + 1);
  ThreadList current(program_.size(), slots), next(program_.size(), slots);
  std::vector<size_t> caps(slots, kNone);
  std::optional<std::vector<size_t>> found;

  struct Pending {
    int pc;
    int slot;  // >= 0: restore this capture slot to `old` instead
    size_t old;
  };
  std::vector<Pending> stack;

  auto holds = [&](Op op, size_t at) {
    const bool before = at > 0 && IsWord(text[at - 1]);
    const bool after = at < text.size() && IsWord(text[at]);
    switch (op) {
      case Op::LineStart:
        return at == 0 || IsLineBreak(text[at - 1]);
      case Op::LineEnd:
        return at == text.size() || IsLineBreak(text[at]);
      case Op::WordEdge:
        return before != after;
      case Op::NotWordEdge:
        return before == after;
      default:
        return false;
    }
  };
  // Follows every jump, split, save and assertion from `start` without reading a character, and
  // adds the threads that wait for one (or have matched) to `list`, best first.
  auto addThread = [&](ThreadList& list, int start, size_t at) {
    stack.push_back({start, -1, 0});
    while (!stack.empty()) {
      const Pending entry = stack.back();
      stack.pop_back();
      if (entry.slot >= 0) {
        caps[static_cast<size_t>(entry.slot)] = entry.old;
        continue;
      }
      int pc = entry.pc;
      while (list.Visit(pc)) {
        const Instruction& in = program_[static_cast<size_t>(pc)];
        if (in.op == Op::Jump) {
          pc = in.x;
        } else if (in.op == Op::Split) {
          stack.push_back({in.y, -1, 0});
          pc = in.x;
        } else if (in.op == Op::Save) {
          stack.push_back({0, in.x, caps[static_cast<size_t>(in.x)]});
          caps[static_cast<size_t>(in.x)] = at;
          ++pc;
        } else if (in.op == Op::LineStart || in.op == Op::LineEnd || in.op == Op::WordEdge ||
                   in.op == Op::NotWordEdge) {
          if (!holds(in.op, at)) break;
          ++pc;
        } else {
          list.Add(pc, caps);
          break;
        }
      }
    }
  };

  current.Clear();
  for (size_t at = from; at <= text.size(); ++at) {
    if (!found) {
      std::fill(caps.begin(), caps.end(), kNone);
      addThread(current, 0, at);  // a match starting here ranks below every one started earlier
    }
    if (current.size() == 0) {
      if (found) break;
      current.Clear();  // nothing alive here; a match may still start further on
      continue;
    }
    next.Clear();
    for (size_t t = 0; t < current.size(); ++t) {
      const Instruction& in = program_[static_cast<size_t>(current.pc(t))];
      if (in.op == Op::Match) {
        found = std::vector<size_t>(current.caps(t), current.caps(t) + slots);
        break;  // the threads below this one are worse
      }
      if (at == text.size()) continue;
      const char32_t c = text[at];
      bool step = false;
      if (in.op == Op::Char)
        step = Lower(c) == in.ch;
      else if (in.op == Op::Any)
        step = !IsLineBreak(c);
      else if (in.op == Op::Class)
        step = classes_[static_cast<size_t>(in.x)].Contains(c);
      if (step) {
        caps.assign(current.caps(t), current.caps(t) + slots);
        addThread(next, current.pc(t) + 1, at + 1);
      }
    }
    std::swap(current, next);
  }
  return found;
}

}  // namespace jihe::chat
