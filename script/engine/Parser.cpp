// Zentarix — MIT licence.
// Recursive descent over the token list: statements, blocks, procedures, classes and expressions.
#include "Parser.h"

#include <algorithm>

#include "ScriptError.h"

namespace zx::script {
namespace {

// The most deeply nested expression or block the parser follows; deeper text is refused, not
// allowed to exhaust the stack.
constexpr int kMaxNesting = 200;

class Parser {
 public:
  Parser(std::vector<Token> tokens, Program& program) : m_t(std::move(tokens)), m_p(program) {}

  void program() {
    skip_separators();
    while (!at(Tok::End)) {
      if (at_kw(Kw::Option)) {
        next();
        expect_kw(Kw::Explicit, kErrExpectedIdentifier);
        m_p.optionExplicit = true;
      } else if (at_kw(Kw::Class)) {
        class_def();
      } else if (!declaration_or_procedure(nullptr)) {
        if (Stmt* s = statement()) m_p.main.push_back(s);
      }
      end_of_statement();
      skip_separators();
    }
  }

 private:
  // ---- tokens --------------------------------------------------------------------------------
  const Token& peek(size_t ahead = 0) const { return m_t[std::min(m_pos + ahead, m_t.size() - 1)]; }
  const Token& next() { return m_t[m_pos < m_t.size() - 1 ? m_pos++ : m_pos]; }
  bool at(Tok k) const { return peek().kind == k; }
  bool at_kw(Kw k, size_t ahead = 0) const { return peek(ahead).kind == Tok::Name && peek(ahead).kw == k; }
  bool accept(Tok k) {
    if (!at(k)) return false;
    next();
    return true;
  }
  bool accept_kw(Kw k) {
    if (!at_kw(k)) return false;
    next();
    return true;
  }
  [[noreturn]] void fail(int32_t number) const { throw CompileError{number, peek().line, peek().column}; }
  void expect(Tok k, int32_t number) {
    if (!accept(k)) fail(number);
  }
  void expect_kw(Kw k, int32_t number) {
    if (!accept_kw(k)) fail(number);
  }
  bool at_statement_end() const { return at(Tok::Newline) || at(Tok::Colon) || at(Tok::End); }
  void end_of_statement() {
    if (!at_statement_end() && !at_kw(Kw::Else)) fail(kErrExpectedEndOfStatement);
  }
  void skip_separators() {
    while (at(Tok::Newline) || at(Tok::Colon)) next();
  }
  // A name where one is expected: an identifier or a contextual keyword.
  std::u16string name(int32_t number = kErrExpectedIdentifier) {
    const Token& t = peek();
    if (t.kind != Tok::Name || (t.kw != Kw::None && !is_contextual(t.kw))) fail(number);
    next();
    return t.text;
  }
  // After a dot every word is a member name, keywords included (obj.Close, Err.Number, x.Type).
  std::u16string member_name() {
    if (!at(Tok::Name)) fail(kErrExpectedIdentifier);
    return next().text;
  }
  struct Depth {
    explicit Depth(Parser& p) : m_p(p) {
      if (++m_p.m_depth > kMaxNesting) m_p.fail(kErrOutOfStack);
    }
    ~Depth() { --m_p.m_depth; }
    Parser& m_p;
  };

  // ---- blocks ---------------------------------------------------------------------------------
  // Statements up to one that starts with a keyword `stop` accepts (not consumed).
  template <class Stop>
  Block block(Stop stop, int32_t missing) {
    Depth depth(*this);
    Block out;
    for (;;) {
      skip_separators();
      if (at(Tok::End)) fail(missing);
      if (stop()) return out;
      if (at_kw(Kw::Sub) || at_kw(Kw::Function) || at_kw(Kw::Class) || at_kw(Kw::Public) || at_kw(Kw::Private))
        fail(kErrExpectedStatement);
      if (Stmt* s = statement()) out.push_back(s);
      end_of_statement();
    }
  }
  bool at_end_of(Kw what) const { return at_kw(Kw::End) && at_kw(what, 1); }
  void end_block(Kw what, int32_t number) {
    if (!at_kw(Kw::End)) fail(kErrExpectedEnd);
    next();
    expect_kw(what, number);
  }

  // ---- declarations and procedures ------------------------------------------------------------
  std::vector<Declaration>& declarations() {
    if (m_proc) return m_proc->decls;
    if (m_class) return m_class->fieldDecls;
    return m_p.globalDecls;
  }

  // Dim/Public/Private variables and constants, Sub/Function/Property; false when none starts here.
  bool declaration_or_procedure(ClassDef* cls) {
    bool isPublic = true, isDefault = false, visibility = false;
    if (at_kw(Kw::Public) || at_kw(Kw::Private)) {
      visibility = true;
      isPublic = next().kw == Kw::Public;
      if (accept_kw(Kw::Default)) {
        if (!isPublic) fail(kErrDefaultNeedsPublic);
        isDefault = true;
      }
    }
    if (at_kw(Kw::Sub) || at_kw(Kw::Function) || at_kw(Kw::Property)) {
      procedure(cls, isPublic, isDefault);
      return true;
    }
    if (isDefault) fail(kErrExpectedFunction);
    if (at_kw(Kw::Const)) {
      next();
      constants(isPublic);
      return true;
    }
    if (at_kw(Kw::Dim) || visibility) {
      if (at_kw(Kw::Dim)) next();
      variables(isPublic);
      return true;
    }
    return false;
  }

  void variables(bool isPublic) {
    do {
      Declaration d;
      d.line = peek().line;
      d.column = peek().column;
      d.name = name();
      d.isPublic = isPublic;
      if (accept(Tok::LParen)) {
        if (accept(Tok::RParen)) {
          d.dynamicArray = true;
        } else {
          do {
            const Token& bound = peek();
            if (bound.kind != Tok::Number || (bound.value.vt != VT_I2 && bound.value.vt != VT_I4)) fail(kErrExpectedInteger);
            d.upper.push_back(bound.value.vt == VT_I2 ? bound.value.iVal : bound.value.lVal);
            next();
          } while (accept(Tok::Comma));
          expect(Tok::RParen, kErrExpectedCloseParen);
        }
      }
      declarations().push_back(std::move(d));
    } while (accept(Tok::Comma));
  }

  void constants(bool isPublic) {
    do {
      Declaration d;
      d.line = peek().line;
      d.column = peek().column;
      d.name = name();
      d.isPublic = isPublic;
      expect(Tok::Eq, kErrExpectedEquals);
      d.constant = constant_literal();
      declarations().push_back(std::move(d));
    } while (accept(Tok::Comma));
  }

  // A constant's value: a literal, possibly signed.
  Expr* constant_literal() {
    const Token& t = peek();
    bool minus = false;
    if (at(Tok::Minus) || at(Tok::Plus)) {
      minus = next().kind == Tok::Minus;
      if (!at(Tok::Number)) fail(kErrExpectedLiteral);
    }
    Expr* e = m_p.expr(ExprKind::Literal, t.line, t.column);
    const Token& v = peek();
    if (v.kind == Tok::Number || v.kind == Tok::String || v.kind == Tok::Date) {
      copy_value_into(e->value, v.value);
    } else if (v.kind == Tok::Name && (v.kw == Kw::True || v.kw == Kw::False)) {
      e->value.vt = VT_BOOL;
      e->value.boolVal = v.kw == Kw::True ? VARIANT_TRUE : VARIANT_FALSE;
    } else if (v.kind == Tok::Name && v.kw == Kw::Empty) {
    } else if (v.kind == Tok::Name && v.kw == Kw::Null) {
      e->value.vt = VT_NULL;
    } else if (v.kind == Tok::Name && v.kw == Kw::Nothing) {
      e->value.vt = VT_DISPATCH;
      e->value.pdispVal = nullptr;
    } else {
      fail(kErrExpectedLiteral);
    }
    next();
    if (minus) negate_literal(e->value);
    return e;
  }
  static void copy_value_into(zx::Variant& dst, const VARIANT& src) { VariantCopy(&dst, &src); }
  static void negate_literal(VARIANT& v) {
    if (v.vt == VT_I2) {
      if (v.iVal == INT16_MIN) {
        v.vt = VT_I4;
        v.lVal = 32768;
      } else {
        v.iVal = static_cast<SHORT>(-v.iVal);
      }
    } else if (v.vt == VT_I4) {
      if (v.lVal == 32768) {
        v.vt = VT_I2;
        v.iVal = INT16_MIN;
      } else {
        v.lVal = -v.lVal;
      }
    } else {
      v.dblVal = -v.dblVal;
    }
  }

  void procedure(ClassDef* cls, bool isPublic, bool isDefault) {
    const Token& start = peek();
    auto proc = std::make_unique<Procedure>();
    proc->line = start.line;
    proc->column = start.column;
    proc->isPublic = isPublic;
    proc->isDefault = isDefault;
    proc->owner = cls;
    Kw endKw = next().kw;
    if (endKw == Kw::Sub) {
      proc->kind = ProcKind::Sub;
    } else if (endKw == Kw::Function) {
      proc->kind = ProcKind::Function;
    } else {
      if (!cls) fail(kErrInsideClassOnly);
      if (accept_kw(Kw::Get)) proc->kind = ProcKind::PropertyGet;
      else if (accept_kw(Kw::Let)) proc->kind = ProcKind::PropertyLet;
      else if (accept_kw(Kw::Set)) proc->kind = ProcKind::PropertySet;
      else fail(kErrExpectedLetSetGet);
    }
    if (isDefault && proc->kind != ProcKind::PropertyGet && proc->kind != ProcKind::Function &&
        proc->kind != ProcKind::Sub)
      fail(kErrDefaultOnGetOnly);
    proc->name = name();
    if (accept(Tok::LParen) && !accept(Tok::RParen)) {
      do {
        Param p;
        if (accept_kw(Kw::ByVal)) p.byVal = true;
        else accept_kw(Kw::ByRef);
        p.name = name();
        if (accept(Tok::LParen)) expect(Tok::RParen, kErrExpectedCloseParen);
        proc->params.push_back(std::move(p));
      } while (accept(Tok::Comma));
      expect(Tok::RParen, kErrExpectedCloseParen);
    }
    if ((proc->kind == ProcKind::PropertyLet || proc->kind == ProcKind::PropertySet) && proc->params.empty())
      fail(kErrPropertyNeedsArgument);
    end_of_statement();
    Procedure* saved = m_proc;
    m_proc = proc.get();
    const Kw kw = endKw;
    proc->body = block([&] { return at_end_of(kw); }, kErrExpectedEnd);
    end_block(kw, kw == Kw::Sub ? kErrExpectedSub : kw == Kw::Function ? kErrExpectedFunction : kErrExpectedProperty);
    m_proc = saved;
    m_p.procedures.push_back(std::move(proc));
  }

  void class_def() {
    next();
    auto cls = std::make_unique<ClassDef>();
    cls->line = peek().line;
    cls->column = peek().column;
    cls->name = name();
    end_of_statement();
    m_class = cls.get();
    for (;;) {
      skip_separators();
      if (at(Tok::End)) fail(kErrExpectedEnd);
      if (at_end_of(Kw::Class)) break;
      if (!declaration_or_procedure(cls.get())) fail(kErrExpectedStatement);
      end_of_statement();
    }
    end_block(Kw::Class, kErrExpectedClass);
    m_class = nullptr;
    m_p.classes.push_back(std::move(cls));
  }

  // ---- statements -----------------------------------------------------------------------------
  Stmt* statement() {
    Depth depth(*this);
    const Token& t = peek();
    if (t.kind == Tok::Name) {
      switch (t.kw) {
        case Kw::Dim: case Kw::Const:
          declaration_or_procedure(nullptr);
          return nullptr;
        case Kw::Set: return set_statement();
        case Kw::Call: return call_statement();
        case Kw::If: return if_statement();
        case Kw::Select: return select_statement();
        case Kw::For: return for_statement();
        case Kw::Do: return do_statement();
        case Kw::While: return while_statement();
        case Kw::Exit: return exit_statement();
        case Kw::With: return with_statement();
        case Kw::On: return on_error();
        case Kw::ReDim: return redim();
        case Kw::Erase: return erase();
        case Kw::Loop: fail(kErrLoopWithoutDo);
        case Kw::Next: fail(kErrUnexpectedNext);
        case Kw::Option: fail(kErrExpectedStatement);
        case Kw::None: case Kw::Me: return assignment_or_call();
        default:
          if (is_contextual(t.kw)) return assignment_or_call();
          fail(kErrExpectedStatement);
      }
    }
    if (t.kind == Tok::Dot) return assignment_or_call();
    fail(kErrExpectedStatement);
  }

  Stmt* set_statement() {
    const Token& start = next();
    Stmt* s = m_p.stmt(StmtKind::Set, start.line, start.column);
    s->target = target();
    expect(Tok::Eq, kErrExpectedEquals);
    s->value = expression();
    return s;
  }

  // The left side of an assignment: a name, a member or an element, never an expression.
  Expr* target() {
    Expr* e = postfix_chain(nullptr);
    if (e->kind != ExprKind::Name && e->kind != ExprKind::Member) fail(kErrExpectedIdentifier);
    return e;
  }

  Stmt* call_statement() {
    const Token& start = next();
    Stmt* s = m_p.stmt(StmtKind::Call, start.line, start.column);
    s->value = postfix_chain(nullptr);
    if (s->value->kind != ExprKind::Name && s->value->kind != ExprKind::Member) fail(kErrExpectedIdentifier);
    return s;
  }

  // `x = 1`, `obj.P(1) = 2`, `Foo a, b`, `obj.Method (a)`, `Foo(a)`: a statement that starts with a
  // name. Without Call, parentheses may only hold the single argument they pass by value.
  Stmt* assignment_or_call() {
    const Token& start = peek();
    size_t openParen = 0;
    Expr* chain = postfix_chain(&openParen);
    if (accept(Tok::Eq)) {
      if (chain->kind != ExprKind::Name && chain->kind != ExprKind::Member) fail(kErrExpectedStatement);
      Stmt* s = m_p.stmt(StmtKind::Assign, start.line, start.column);
      s->target = chain;
      s->value = expression();
      return s;
    }
    if (chain->kind != ExprKind::Name && chain->kind != ExprKind::Member) fail(kErrExpectedStatement);
    Stmt* s = m_p.stmt(StmtKind::Call, start.line, start.column);
    s->value = chain;
    if (at_statement_end() || at_kw(Kw::Else)) {
      if (chain->hasArgs && openParen) {
        if (chain->args.size() > 1) throw CompileError{kErrParenthesesOnSub, m_t[openParen].line, m_t[openParen].column};
        if (chain->args.size() == 1 && chain->args[0]) chain->args[0] = paren(chain->args[0]);
      }
      return s;
    }
    // More follows: arguments without parentheses. A parenthesised group already taken for the
    // last name's arguments was in fact the start of the first argument: read again from there.
    if (chain->hasArgs && openParen) {
      m_pos = openParen;
      chain->args.clear();
    }
    chain->hasArgs = true;
    arguments_until_end(chain->args);
    return s;
  }

  static bool is_blank_arg_end(const Parser& p) { return p.at(Tok::Comma) || p.at_statement_end() || p.at_kw(Kw::Else); }

  void arguments_until_end(std::vector<Expr*>& args) {
    for (;;) {
      if (is_blank_arg_end(*this))
        args.push_back(nullptr);  // an omitted argument
      else
        args.push_back(expression());
      if (!accept(Tok::Comma)) break;
    }
    if (args.size() == 1 && !args[0]) args.clear();
  }

  Expr* paren(Expr* inner) {
    Expr* p = m_p.expr(ExprKind::Paren, inner->line, inner->column);
    p->left = inner;
    return p;
  }

  Stmt* if_statement() {
    const Token& start = next();
    Stmt* s = m_p.stmt(StmtKind::If, start.line, start.column);
    Expr* cond = expression();
    expect_kw(Kw::Then, kErrExpectedThen);
    if (!at(Tok::Newline) && !at(Tok::Colon)) {  // the one-line form
      s->arms.push_back({cond, line_statements()});
      if (accept_kw(Kw::Else)) s->elseBody = line_statements();
      return s;
    }
    auto stop = [&] { return at_kw(Kw::ElseIf) || at_kw(Kw::Else) || at_end_of(Kw::If); };
    s->arms.push_back({cond, block(stop, kErrExpectedEnd)});
    while (accept_kw(Kw::ElseIf)) {
      Expr* c = expression();
      expect_kw(Kw::Then, kErrExpectedThen);
      s->arms.push_back({c, block(stop, kErrExpectedEnd)});
    }
    if (accept_kw(Kw::Else)) s->elseBody = block([&] { return at_end_of(Kw::If); }, kErrExpectedEnd);
    end_block(Kw::If, kErrExpectedIf);
    return s;
  }

  // Statements of a one-line If, separated by colons, up to Else or the line's end.
  Block line_statements() {
    Block out;
    for (;;) {
      if (at(Tok::Newline) || at(Tok::End) || at_kw(Kw::Else)) break;
      if (Stmt* s = statement()) out.push_back(s);
      if (!accept(Tok::Colon)) break;
    }
    if (!at(Tok::Newline) && !at(Tok::End) && !at_kw(Kw::Else)) fail(kErrExpectedEndOfStatement);
    return out;
  }

  Stmt* select_statement() {
    const Token& start = next();
    expect_kw(Kw::Case, kErrExpectedCase);
    Stmt* s = m_p.stmt(StmtKind::Select, start.line, start.column);
    s->value = expression();
    end_of_statement();
    skip_separators();
    auto stop = [&] { return at_kw(Kw::Case) || at_end_of(Kw::Select); };
    while (accept_kw(Kw::Case)) {
      if (accept_kw(Kw::Else)) {
        s->elseBody = block([&] { return at_end_of(Kw::Select); }, kErrExpectedEnd);
        break;
      }
      CaseArm arm;
      do {
        CaseTest t;
        if (accept_kw(Kw::Is)) {
          t.kind = CaseTest::Compare;
          if (!operator_at(kCompare, &t.op) || t.op == Op::Is) fail(kErrExpectedExpression);
          next();
          t.a = level(kConcat);
        } else {
          t.a = expression();
          if (accept_kw(Kw::To)) {
            t.kind = CaseTest::Range;
            t.b = expression();
          }
        }
        arm.tests.push_back(t);
      } while (accept(Tok::Comma));
      arm.body = block(stop, kErrExpectedEnd);
      s->cases.push_back(std::move(arm));
    }
    end_block(Kw::Select, kErrExpectedSelect);
    return s;
  }

  struct Loop {
    Loop(Parser& p, Kw kind) : m_p(p) { p.m_loops.push_back(kind); }
    ~Loop() { m_p.m_loops.pop_back(); }
    Parser& m_p;
  };

  Stmt* for_statement() {
    const Token& start = next();
    Loop loop(*this, Kw::For);
    if (accept_kw(Kw::Each)) {
      Stmt* s = m_p.stmt(StmtKind::ForEach, start.line, start.column);
      s->target = loop_variable();
      expect_kw(Kw::In, kErrExpectedIn);
      s->value = expression();
      end_of_statement();
      s->body = block([&] { return at_kw(Kw::Next); }, kErrExpectedNext);
      next_clause();
      return s;
    }
    Stmt* s = m_p.stmt(StmtKind::For, start.line, start.column);
    s->target = loop_variable();
    expect(Tok::Eq, kErrExpectedEquals);
    s->value = expression();
    expect_kw(Kw::To, kErrExpectedTo);
    s->end = expression();
    if (accept_kw(Kw::Step)) s->step = expression();
    end_of_statement();
    s->body = block([&] { return at_kw(Kw::Next); }, kErrExpectedNext);
    next_clause();
    return s;
  }
  Expr* loop_variable() {
    const Token& t = peek();
    Expr* e = m_p.expr(ExprKind::Name, t.line, t.column);
    e->name = name(kErrInvalidForVariable);
    return e;
  }
  void next_clause() {
    expect_kw(Kw::Next, kErrExpectedNext);
    if (at(Tok::Name) && !at_kw(Kw::Else)) name();  // "Next i" names the loop's variable
  }

  Stmt* do_statement() {
    const Token& start = next();
    Loop loop(*this, Kw::Do);
    Stmt* s = m_p.stmt(StmtKind::Do, start.line, start.column);
    if (at_kw(Kw::While) || at_kw(Kw::Until)) {
      s->condFirst = true;
      s->condUntil = next().kw == Kw::Until;
      s->cond = expression();
    } else if (!at_statement_end()) {
      fail(kErrExpectedWhileUntilEnd);
    }
    end_of_statement();
    s->body = block([&] { return at_kw(Kw::Loop); }, kErrExpectedLoop);
    next();
    if (at_kw(Kw::While) || at_kw(Kw::Until)) {
      if (s->cond) fail(kErrExpectedEndOfStatement);
      s->condUntil = next().kw == Kw::Until;
      s->cond = expression();
    }
    return s;
  }

  Stmt* while_statement() {
    const Token& start = next();
    Loop loop(*this, Kw::While);
    Stmt* s = m_p.stmt(StmtKind::Do, start.line, start.column);
    s->condFirst = true;
    s->cond = expression();
    end_of_statement();
    s->body = block([&] { return at_kw(Kw::Wend); }, kErrExpectedWend);
    next();
    return s;
  }

  Stmt* exit_statement() {
    const Token& start = next();
    Stmt* s = m_p.stmt(StmtKind::Exit, start.line, start.column);
    const Kw kw = peek().kind == Tok::Name ? peek().kw : Kw::None;
    auto in_loop = [&](Kw k) { return std::find(m_loops.begin(), m_loops.end(), k) != m_loops.end(); };
    switch (kw) {
      case Kw::Do: if (!in_loop(Kw::Do)) fail(kErrInvalidExit); s->exitKind = ExitKind::Do; break;
      case Kw::For: if (!in_loop(Kw::For)) fail(kErrInvalidExit); s->exitKind = ExitKind::For; break;
      case Kw::Sub: if (!m_proc || m_proc->kind != ProcKind::Sub) fail(kErrInvalidExit); s->exitKind = ExitKind::Sub; break;
      case Kw::Function: if (!m_proc || m_proc->kind != ProcKind::Function) fail(kErrInvalidExit); s->exitKind = ExitKind::Function; break;
      case Kw::Property:
        if (!m_proc || m_proc->kind < ProcKind::PropertyGet) fail(kErrInvalidExit);
        s->exitKind = ExitKind::Property;
        break;
      default: fail(kErrInvalidExit);
    }
    next();
    return s;
  }

  Stmt* with_statement() {
    const Token& start = next();
    Stmt* s = m_p.stmt(StmtKind::With, start.line, start.column);
    s->value = expression();
    end_of_statement();
    s->body = block([&] { return at_end_of(Kw::With); }, kErrExpectedEnd);
    end_block(Kw::With, kErrExpectedWith);
    return s;
  }

  Stmt* on_error() {
    const Token& start = next();
    expect_kw(Kw::Error, kErrSyntax);
    if (accept_kw(Kw::Resume)) {
      expect_kw(Kw::Next, kErrSyntax);
      return m_p.stmt(StmtKind::OnErrorResumeNext, start.line, start.column);
    }
    expect_kw(Kw::GoTo, kErrSyntax);
    if (!at(Tok::Number) || peek().value.vt != VT_I2 || peek().value.iVal != 0) fail(kErrSyntax);
    next();
    return m_p.stmt(StmtKind::OnErrorGoto0, start.line, start.column);
  }

  Stmt* redim() {
    const Token& start = next();
    Stmt* s = m_p.stmt(StmtKind::ReDim, start.line, start.column);
    s->preserve = accept_kw(Kw::Preserve);
    do {
      ReDimItem item;
      const Token& t = peek();
      item.target = m_p.expr(ExprKind::Name, t.line, t.column);
      item.target->name = name();
      expect(Tok::LParen, kErrExpectedOpenParen);
      do item.bounds.push_back(expression());
      while (accept(Tok::Comma));
      expect(Tok::RParen, kErrExpectedCloseParen);
      s->redims.push_back(std::move(item));
    } while (accept(Tok::Comma));
    return s;
  }

  Stmt* erase() {
    const Token& start = next();
    Stmt* s = m_p.stmt(StmtKind::Erase, start.line, start.column);
    do {
      const Token& t = peek();
      Expr* e = m_p.expr(ExprKind::Name, t.line, t.column);
      e->name = name();
      s->targets.push_back(e);
    } while (accept(Tok::Comma));
    return s;
  }

  // ---- expressions ------------------------------------------------------------------------------
  Expr* binary(Op op, Expr* l, Expr* r, const Token& at) {
    Expr* e = m_p.expr(ExprKind::Binary, at.line, at.column);
    e->op = op;
    e->left = l;
    e->right = r;
    return e;
  }

  // Binary operators by precedence, loosest first; Not and the unary signs have levels of their own.
  enum Level { kImp, kEqv, kXor, kOr, kAnd, kNot, kCompare, kConcat, kAdd, kMod, kIntDiv, kMul, kUnary };

  Expr* expression() {
    Depth depth(*this);
    return level(kImp);
  }

  // The binary operator of precedence `l` the next token spells, if any.
  bool operator_at(int l, Op* op) const {
    const Token& t = peek();
    auto word = [&](Kw k, Op o) { return t.kind == Tok::Name && t.kw == k && (*op = o, true); };
    auto sign = [&](Tok k, Op o) { return t.kind == k && (*op = o, true); };
    switch (l) {
      case kImp: return word(Kw::Imp, Op::Imp);
      case kEqv: return word(Kw::Eqv, Op::Eqv);
      case kXor: return word(Kw::Xor, Op::Xor);
      case kOr: return word(Kw::Or, Op::Or);
      case kAnd: return word(Kw::And, Op::And);
      case kCompare:
        return sign(Tok::Eq, Op::Eq) || sign(Tok::Ne, Op::Ne) || sign(Tok::Lt, Op::Lt) || sign(Tok::Gt, Op::Gt) ||
               sign(Tok::Le, Op::Le) || sign(Tok::Ge, Op::Ge) || word(Kw::Is, Op::Is);
      case kConcat: return sign(Tok::Amp, Op::Concat);
      case kAdd: return sign(Tok::Plus, Op::Add) || sign(Tok::Minus, Op::Sub);
      case kMod: return word(Kw::Mod, Op::Mod);
      case kIntDiv: return sign(Tok::Backslash, Op::IntDiv);
      case kMul: return sign(Tok::Star, Op::Mul) || sign(Tok::Slash, Op::Div);
      default: return false;
    }
  }

  // Left-associative operators of one level over the operands of the next.
  Expr* level(int l) {
    if (l == kNot) return not_expr();
    if (l == kUnary) return unary();
    Expr* e = level(l + 1);
    Op op;
    while (operator_at(l, &op)) {
      const Token& t = next();
      e = binary(op, e, level(l + 1), t);
    }
    return e;
  }
  Expr* not_expr() {
    if (at_kw(Kw::Not)) {
      Depth depth(*this);
      const Token& t = next();
      Expr* e = m_p.expr(ExprKind::Not, t.line, t.column);
      e->left = not_expr();
      return e;
    }
    return level(kCompare);
  }
  // Unary minus binds looser than ^ (-2^2 is -4) and tighter than * and /.
  Expr* unary() {
    if (at(Tok::Minus) || at(Tok::Plus)) {
      Depth depth(*this);
      const Token& t = next();
      Expr* operand = unary();
      if (t.kind == Tok::Plus) return operand;
      if (operand->kind == ExprKind::Literal && (operand->value.vt == VT_I2 || operand->value.vt == VT_I4 ||
                                                 operand->value.vt == VT_R8)) {
        negate_literal(operand->value);
        return operand;
      }
      Expr* e = m_p.expr(ExprKind::Negate, t.line, t.column);
      e->left = operand;
      return e;
    }
    return power();
  }
  Expr* power() {
    Expr* e = primary();
    while (at(Tok::Caret)) {
      const Token& t = next();
      Expr* right;
      if (at(Tok::Minus) || at(Tok::Plus)) {  // 2^-1
        Depth depth(*this);
        const Token& sign = next();
        right = primary();
        if (sign.kind == Tok::Minus) {
          Expr* n = m_p.expr(ExprKind::Negate, sign.line, sign.column);
          n->left = right;
          right = n;
        }
      } else {
        right = primary();
      }
      e = binary(Op::Pow, e, right, t);
    }
    return e;
  }

  Expr* primary() {
    const Token& t = peek();
    switch (t.kind) {
      case Tok::Number: case Tok::String: case Tok::Date: {
        next();
        Expr* e = m_p.expr(ExprKind::Literal, t.line, t.column);
        copy_value_into(e->value, t.value);
        return e;
      }
      case Tok::LParen: {
        Depth depth(*this);
        next();
        Expr* inner = expression();
        expect(Tok::RParen, kErrExpectedCloseParen);
        // (x).Member and (x)(1) go on from the parenthesised value.
        return postfix_from(paren(inner), nullptr);
      }
      case Tok::Dot: return postfix_chain(nullptr);
      case Tok::Name: break;
      default: fail(kErrExpectedExpression);
    }
    Expr* e = nullptr;
    switch (t.kw) {
      case Kw::True: case Kw::False:
        next();
        e = m_p.expr(ExprKind::Literal, t.line, t.column);
        e->value.vt = VT_BOOL;
        e->value.boolVal = t.kw == Kw::True ? VARIANT_TRUE : VARIANT_FALSE;
        return e;
      case Kw::Empty:
        next();
        return m_p.expr(ExprKind::Literal, t.line, t.column);
      case Kw::Null:
        next();
        e = m_p.expr(ExprKind::Literal, t.line, t.column);
        e->value.vt = VT_NULL;
        return e;
      case Kw::Nothing:
        next();
        e = m_p.expr(ExprKind::Literal, t.line, t.column);
        e->value.vt = VT_DISPATCH;
        e->value.pdispVal = nullptr;
        return e;
      case Kw::New: {
        next();
        e = m_p.expr(ExprKind::New, t.line, t.column);
        e->name = name();
        return e;
      }
      case Kw::Not: return not_expr();
      case Kw::Me: case Kw::None: return postfix_chain(nullptr);
      default:
        if (is_contextual(t.kw)) return postfix_chain(nullptr);
        fail(kErrExpectedExpression);
    }
  }

  // name {(args)} {.member {(args)}}, or .member ... inside With. `openParen` receives the token
  // index of the last argument list's "(" when that list ends the chain (0 otherwise).
  Expr* postfix_chain(size_t* openParen) {
    const Token& t = peek();
    Expr* e;
    if (at(Tok::Dot)) {  // the With object's member
      next();
      e = m_p.expr(ExprKind::Member, t.line, t.column);
      e->name = member_name();
    } else if (at_kw(Kw::Me)) {
      next();
      e = m_p.expr(ExprKind::Me, t.line, t.column);
    } else {
      e = m_p.expr(ExprKind::Name, t.line, t.column);
      e->name = name(kErrExpectedStatement);
    }
    return postfix_from(e, openParen);
  }

  Expr* postfix_from(Expr* e, size_t* openParen) {
    for (;;) {
      if (openParen) *openParen = 0;
      if (at(Tok::LParen) && (e->kind == ExprKind::Name || e->kind == ExprKind::Member) && !e->hasArgs) {
        if (openParen) *openParen = m_pos;
        next();
        e->hasArgs = true;
        argument_list(e->args);
        if (openParen && !at(Tok::Dot) && !at(Tok::LParen)) return e;
        continue;
      }
      if (at(Tok::LParen)) {  // a call on a call's result: its default member
        const Token& t = peek();
        Expr* d = m_p.expr(ExprKind::Member, t.line, t.column);
        d->left = e;
        next();
        d->hasArgs = true;
        argument_list(d->args);
        e = d;
        continue;
      }
      if (at(Tok::Dot) && !peek().spaceBefore) {
        const Token& t = next();
        Expr* m = m_p.expr(ExprKind::Member, t.line, t.column);
        m->left = e;
        m->name = member_name();
        e = m;
        continue;
      }
      return e;
    }
  }

  // After "(": arguments up to ")"; empty places are omitted arguments.
  void argument_list(std::vector<Expr*>& args) {
    if (accept(Tok::RParen)) return;
    for (;;) {
      if (at(Tok::Comma) || at(Tok::RParen))
        args.push_back(nullptr);
      else
        args.push_back(expression());
      if (accept(Tok::Comma)) continue;
      expect(Tok::RParen, kErrExpectedCloseParen);
      return;
    }
  }

  std::vector<Token> m_t;
  size_t m_pos = 0;
  Program& m_p;
  Procedure* m_proc = nullptr;
  ClassDef* m_class = nullptr;
  std::vector<Kw> m_loops;
  int m_depth = 0;
};

}  // namespace

void parse_program(std::u16string_view text, Program& program) {
  Parser parser(tokenize(text), program);
  parser.program();
}

}  // namespace zx::script
