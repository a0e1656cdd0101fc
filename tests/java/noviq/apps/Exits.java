// Ends the process through System.exit with the code given as first argument (default 3).
package noviq.apps;

public class Exits {
    public static void main(String[] args) {
        System.exit(args.length > 0 ? Integer.parseInt(args[0]) : 3);
    }
}
