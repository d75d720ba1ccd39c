% Evaluates a FIS file with Octave's fuzzy logic toolkit on a grid and compares with the outputs
% fuzzylite computed on the same grid. Usage: octave OctaveCheck.m ENGINE.fis GRID EXPECTED
% Exit code 0 when every output agrees to 1e-6 (NaN with NaN), 1 otherwise, 77 without the
% toolkit.
args = argv();
try
  pkg load fuzzy-logic-toolkit;
catch
  exit(77);
end_try_catch
fis = readfis(args{1});
x = load(args{2});
expected = dlmread(args{3});
worst = 0;
for i = 1:rows(x)
  try
    y = evalfis(x(i,:), fis);
  catch
    y = NaN(1, columns(fis.output));  % evalfis stops where no rule is active
  end_try_catch
  e = expected(i, 1:columns(y));
  if any(isnan(y) != isnan(e))
    printf('sample %d: Octave %g, fuzzylite %g\n', i, y, e);
    exit(1);
  end
  d = abs(y(!isnan(y)) - e(!isnan(e)));
  if !isempty(d)
    worst = max(worst, max(d));
  end
end
printf('largest difference %g on %d samples\n', worst, rows(x));
exit(worst > 1e-6);
