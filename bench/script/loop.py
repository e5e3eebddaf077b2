# The benchmark loop of loop.vbs, in Python: 4 million passes of 11 operations each.
total = 0
s = ""
n = 0
for i in range(1, 4000001):
    total = total + (i % 7) * 3
    s = s + chr(65 + i % 26)
    if len(s) > 40:
        s = s[20:]
    n = n + (s.find("Z") + 1)
print(total, n, len(s))
