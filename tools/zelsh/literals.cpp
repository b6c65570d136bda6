// Matrix and cell literals: [1 2; 3 4], ['ab' 'c'], {'a', 2; 'b', 3}.
#include <string>

#include "interpreter.h"

namespace zelsh {

namespace {

// One row of a matrix literal, concatenated side by side.
struct Row {
  std::vector<double> numbers;
  std::string text;
  bool allLogical = true;
  bool isText = false;
  hvSize height = 0;  // rows of the numeric blocks (all must agree)
};

}  // namespace

Value Interpreter::evaluateMatrix(const Expr& e) {
  std::vector<Row> rows;
  bool anyText = false, anyNumber = false;
  for (const auto& exprs : e.rows) {
    Row row;
    std::vector<Value> parts;
    for (const ExprPtr& x : exprs) {
      Value v = evaluateRequired(*x);
      if (hvIsEmpty(v.get()) && !hvIsChar(v.get())) continue;
      if (hvIsChar(v.get())) {
        row.isText = anyText = true;
        row.text += textOf(v.get());
      } else if (hvIsNumeric(v.get()) || hvIsLogical(v.get())) {
        anyNumber = true;
        if (!hvIsLogical(v.get())) row.allLogical = false;
        hvSize m = hvGetM(v.get());
        if (row.height != 0 && m != row.height) {
          throw ShellError{"zelsh:dimensions", "Dimensions of the elements of a row do not agree."};
        }
        row.height = m;
        parts.push_back(std::move(v));
      } else {
        throw ShellError{"zelsh:concatenation",
                         "Values of class " + className(v.get()) + " cannot be put in [ ]."};
      }
    }
    if (row.isText && !parts.empty()) {
      throw ShellError{"zelsh:concatenation", "Text and numbers cannot be mixed in [ ]."};
    }
    // Numeric parts: column-major blocks side by side; only 1-row parts are
    // common, but blocks of equal height work too.
    for (hvSize r = 0; r < row.height; ++r) {
      for (const Value& p : parts) {
        for (hvSize c = 0; c < hvGetN(p.get()); ++c) {
          row.numbers.push_back(hvGetElementAsDouble(p.get(), c * hvGetM(p.get()) + r));
        }
      }
    }
    if (!row.isText && row.height == 0) continue;
    rows.push_back(std::move(row));
  }
  if (rows.empty()) return own(anyText ? hvCreateString("") : hvCreateDoubleMatrix(0, 0));
  if (anyText && anyNumber) {
    throw ShellError{"zelsh:concatenation", "Text and numbers cannot be mixed in [ ]."};
  }
  if (anyText) {
    if (rows.size() == 1) return own(hvCreateString(rows[0].text.c_str()));
    throw ShellError{"zelsh:concatenation", "Text can only be joined in one row."};
  }
  hvSize width = rows[0].numbers.size() / rows[0].height;
  hvSize height = 0;
  bool logical = true;
  for (const Row& r : rows) {
    if (r.numbers.size() / r.height != width) {
      throw ShellError{"zelsh:dimensions", "Rows of [ ] have different lengths."};
    }
    height += r.height;
    logical = logical && r.allLogical;
  }
  Value out =
      own(logical ? hvCreateLogicalMatrix(height, width) : hvCreateDoubleMatrix(height, width));
  hvSize top = 0;
  for (const Row& r : rows) {
    for (hvSize i = 0; i < r.height; ++i) {
      for (hvSize c = 0; c < width; ++c) {
        double x = r.numbers[i * width + c];
        hvSize at = c * height + top + i;
        if (logical) {
          hvGetLogicals(out.get())[at] = x != 0;
        } else {
          hvGetPr(out.get())[at] = x;
        }
      }
    }
    top += r.height;
  }
  return out;
}

Value Interpreter::evaluateCell(const Expr& e) {
  std::vector<std::vector<Value>> rows;
  for (const auto& exprs : e.rows) {
    rows.emplace_back();
    for (const ExprPtr& x : exprs) rows.back().push_back(evaluateRequired(*x));
    if (rows.back().size() != rows[0].size()) {
      throw ShellError{"zelsh:dimensions", "Rows of { } have different lengths."};
    }
  }
  hvSize m = rows.size(), n = m > 0 ? rows[0].size() : 0;
  Value out = own(hvCreateCellMatrix(m, n));
  for (hvSize r = 0; r < m; ++r) {
    for (hvSize c = 0; c < n; ++c) hvSetCell(out.get(), c * m + r, rows[r][c].release());
  }
  return out;
}

}  // namespace zelsh
