#!/usr/bin/perl
# vask-ini(1) from the tool's own help texts, and the check that the page holds
# every command and option they name.
#
#   tool_page.pl generate TOOL HELP2MAN INCLUDE OUTPUT
#   tool_page.pl check TOOL PAGE
#
# The commands are the names in the "Commands:" block of `TOOL --help`. help2man
# turns the general help into the page; each `TOOL COMMAND --help` becomes a
# subsection of COMMANDS, less the paragraphs it repeats from the general help
# (such as the exit codes). INCLUDE holds the hand-written sections.
use strict;
use warnings;

my ($mode, $tool, @rest) = @ARGV;
die "usage: tool_page.pl generate TOOL HELP2MAN INCLUDE OUTPUT | check TOOL PAGE\n"
  unless defined $tool && (($mode eq 'generate' && @rest == 3) || ($mode eq 'check' && @rest == 1));

# What a help text lacks fails the check; the page is still made from what
# there is, so that a change of the help never stops the build.
sub problem {
  die "$_[0]\n" if $mode eq 'check';
  warn "tool_page.pl: $_[0]\n";
}

sub help {
  my @command = ($tool, @_, '--help');
  open(my $pipe, '-|', @command) or die "cannot run @command: $!\n";
  local $/;
  my $text = <$pipe> // '';
  close($pipe) or problem("@command failed");
  return $text;
}

sub paragraphs { return map { s/\s+\z//r } split /\n[ \t]*\n/, $_[0]; }

my $general = help();
my ($block) = $general =~ /^Commands:\n((?:[ \t]+\S.*\n)+)/m
  or problem("$tool --help has no Commands: block");
my @commands = ($block // '') =~ /^  ([a-z][a-z0-9-]*)\b/mg;
my %helps = map { $_ => help($_) } @commands;

if ($mode eq 'check') {
  my ($page) = @rest;
  open(my $in, '<', $page) or die "cannot read $page: $!\n";
  my $roff = do { local $/; <$in> };
  # The words as a reader sees them: no fonts, no escaped hyphens.
  $roff =~ s/\\f[BIRP]|\\[,\/&]//g;
  $roff =~ s/\\-/-/g;
  my %options = map { $_ => 1 } join("\n", $general, values %helps) =~ /(--[a-z][a-z0-9-]*)/g;
  my @missing = grep { $roff !~ /^\.SS "[^"\n]*\b\Q$_\E\b/m } @commands;
  push @missing, grep { $roff !~ /(?<![\w-])\Q$_\E(?![\w-])/ } sort keys %options;
  die "$page lacks: @missing\n" if @missing;
  printf "%s names all %d commands and %d options\n", $page, scalar @commands, scalar keys %options;
  exit 0;
}

# Text as roff: backslashes and hyphens escaped; no line may start a request or,
# in a help2man include file, a section name.
sub roff {
  my ($text) = @_;
  $text =~ s/\\/\\e/g;
  $text =~ s/-/\\-/g;
  $text =~ s/^([.'\[\/])/\\&$1/mg;
  return $text;
}

# A filled paragraph; "- " starts a bulleted item, which the lines indented
# under it continue.
sub filled {
  my ($out, $item) = (".PP\n", 0);
  for my $line (split /\n/, $_[0]) {
    if ($line =~ /^- +(\S.*)$/) {
      ($out, $item) = ($out . ".IP \\(bu 2\n" . roff($1) . "\n", 1);
    } elsif ($item && $line =~ /^\s+(\S.*)$/) {
      $out .= roff($1) . "\n";
    } else {
      $out .= ".PP\n" if $item;
      ($out, $item) = ($out . roff($line) . "\n", 0);
    }
  }
  return $out;
}

# One paragraph: rows of "  term  text" (after an optional "Heading:" line)
# become tagged paragraphs, a row indented further continuing the text above;
# anything else, a filled paragraph.
sub paragraph {
  my ($text) = @_;
  my ($heading, $rows) = $text =~ /\A(?:(\S[^\n]*:)\n)?((?:[ \t]+\S[^\n]*(?:\n|\z))+)\z/;
  return filled($text) unless defined $rows && $rows =~ /\A[ \t]+\S+(?: \S+)*(?:  |\t)/;
  my ($indent) = $rows =~ /\A([ \t]+)/;
  my $out = ".PP\n";
  $out .= roff($heading) . "\n" if defined $heading;
  for my $line (split /\n/, $rows) {
    if ($line =~ /^\Q$indent\E(\S+(?: \S+)*)(?:(?:  +|\t+)(\S.*))?$/) {
      $out .= ".TP\n" . roff($1) . "\n";
      $out .= roff($2) . "\n" if defined $2;
    } else {
      $out .= roff($line =~ s/^\s+//r) . "\n";
    }
  }
  return $out;
}

my ($help2man, $include, $output) = @rest;
my %general = map { $_ => 1 } paragraphs($general);
my $commands = "[COMMANDS]\n";
for my $command (@commands) {
  my @parts = grep { !$general{$_} } paragraphs($helps{$command});
  my $usage = shift(@parts) // $command;
  $usage =~ s/\AUsage: *\S+ *//;
  $usage =~ s/\s*\n\s*/ /g;
  $commands .= ".SS \"" . roff($usage) . "\"\n";
  $commands .= paragraph($_) for @parts;
}

open(my $in, '<', $include) or die "cannot read $include: $!\n";
my $sections = do { local $/; <$in> };
my $combined = "$output.h2m";
open(my $out, '>', $combined) or die "cannot write $combined: $!\n";
print $out $sections, "\n", $commands;
close($out) or die "cannot write $combined: $!\n";
system($help2man, '--no-info', '--include', $combined, '--output', $output, $tool) == 0
  or die "help2man failed\n";
