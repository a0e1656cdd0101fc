Invalid -Xlog option '-Xlog:bogus', see error log for details.
Error: Could not create the Java Virtual Machine.
Error: A fatal exception has occurred. Program will exit.
