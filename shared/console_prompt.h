// Console dialogue and text-padding toolkit: questions, numbers and texts
// read from standard input, and texts filled out to fixed columns or
// centred. The routines read standard input and write standard output
// directly, not through the debug log. When standard input ends while a
// routine waits for an answer it returns at once: an empty text, the lower
// bound or the no answer.
#pragma once

#include <cstdint>

// Result of yesno; only its first 20 bytes are ever written.
extern char yes_no[32];
// The choice text built by yesnostr and get_yesno.
extern char yes_no_str[64];

// Reads one blank-delimited word of at most 10 characters and returns its
// first character in upper case; NUL at the end of input.
char test_key();

// Copies at most the first 20 characters of the yes text (flag non-zero) or
// the no text into yes_no and returns yes_no, unchanged for a null text.
char *yesno(int flag, const char *yes, const char *no);

// Builds "[y=yes,n=no]" from the two texts (first characters in lower case)
// into yes_no_str, cut to its size; unchanged when either text is null.
char *yesnostr(const char *yes, const char *no);

// A line feed and a row of 60 minus signs.
void print_line();

// Prompts and reads one line into dst of len bytes: line ends before the
// first character are skipped, at most len - 2 (and at most 207)
// characters are kept and each further one is dropped with a beep. The
// input, NUL-padded to len bytes, replaces dst unless it begins with NUL or
// Escape, in which case dst keeps its text. At the end of input with
// nothing typed dst becomes the empty text.
void get_str(char *dst, int len, const char *prompt);

// The terminal bell.
void beep();

// The decimal digits at the start of text as a 16-bit number (modulo
// 65536, 0 without digits) into *value; returns how many digits it took.
int getnum(const char *text, std::uint16_t *value);

// Prompts for a number until one within [min, max] is entered, writing the
// error text after every other one. A word beginning with Escape keeps the
// number entered before it, so it gives the lower bound only as the first
// word; the end of input gives the lower bound.
std::uint16_t get_int(std::uint16_t min, std::uint16_t max, const char *prompt, const char *error);

// Asks the question with the choice text and reads one word: 1 when it
// begins with the yes text's first letter (either case), else 0; 0 at the
// end of input.
int get_yesno(const char *yes, const char *no, const char *question);

// Appends the fill text (n - length) times when text is shorter than n
// characters. The buffer must hold the result.
char *dopln(char *text, int n, const char *fill);

// Centres text in n columns (n up to 199) with the fill text, the odd
// column on the right for a one-character fill. The buffer must hold the
// result.
char *center(char *text, int n, const char *fill);

// Does nothing.
void run_command(const char *command);
